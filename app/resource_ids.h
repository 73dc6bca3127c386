/* Ids shared by the resource script and the code. Plain defines only: the
   resource compiler reads this file too. */
#ifndef Q73_RESOURCE_IDS_H
#define Q73_RESOURCE_IDS_H

#define IDD_STATUS 101
#define IDD_EXPANSION_COMPLETED 102
#define IDD_COMPRESSION_COMPLETED 103
#define IDI_PROGRAM 104
/* The icon of .Q73 files; the installer names it as "q73.exe",-105. */
#define IDI_Q73_FILE 105

#define IDC_STATUS_TEXT 1000
#define IDC_ELAPSED_TIME 1001
#define IDC_UNCOMPRESSED_SIZE 1002
#define IDC_COMPRESSED_SIZE 1003
#define IDC_EXPANSION_OK 1003
#define IDC_PERCENT_REDUCED 1004
#define IDC_COMPRESSION_OK 1005
#define IDC_PROGRESS 1006
#define IDC_FILE_NAME 1007

#define IDM_EXPAND 103
#define IDM_COMPRESS 104

#endif
