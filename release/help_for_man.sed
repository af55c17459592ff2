# Lays a program's --help out as help2man reads it, changing no word: the headings
# capitalised as help2man looks for them, and the exit status a section of its own with
# one tagged paragraph per status where the help lists them under each other.
s/^usage:/Usage:/
s/^options:/Options:/
s/^exit status: \([0-9]\) /*Exit status*\n\n  \1  /
s/^Exit status: /*Exit status*\n\n/
s/^             \([0-9]\) /  \1  /
s/^               \([^ ]\)/     \1/
