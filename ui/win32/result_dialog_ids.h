/* Identifiers of the result dialog; read by the resource compiler and by C++. */
#ifndef UI_WIN32_RESULT_DIALOG_IDS_H
#define UI_WIN32_RESULT_DIALOG_IDS_H

#define IDD_RESULT_DIALOG 2000
#define IDC_RESULT_TREE 2010

#endif
