# The Windows programs the releases carry, for the scripts that make the packages and
# those that test them (sourced, not run): the ones in the Windows zip, and the ones the
# Windows add-on carries in its cmpexport/bin/ folder, in the order they go into it.
windows_zip_programs="cmpexport.dll cmpinfo.exe"
windows_addon_programs="modelhost.exe cmpexport.dll ztModelLib.dll cmpinfo.exe"
