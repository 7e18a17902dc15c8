/*
 * resource.h - resource identifiers of Quarrow.
 *
 * Included by the resource compiler and by the C++ sources, so this file
 * holds plain preprocessor definitions only.
 *
 * Naming:
 *   IDS_...  string table entries
 *   IDR_...  menus and the main frame icon
 *   IDI_...  icons
 *   IDD_...  dialog templates
 *   IDC_...  controls inside a dialog
 *
 * A string and a dialog or menu may share a number (for example 102, 137,
 * 138, 140); they are different resource types and do not collide.
 */

#ifndef QUARROW_RESOURCE_H
#define QUARROW_RESOURCE_H

// The IDs stand in aligned columns, as resource headers are kept.
// clang-format off

/* ------------------------------------------------------------------------
 * Icons, menus, dialogs and controls
 * ------------------------------------------------------------------------ */

/* Program icon (window icon, about box, minimised dialogs) */
#define IDR_MAINFRAME                   128
#define IDI_QUARROW                     128
/* The notification icon's own icon (the same picture for now) */
#define IDI_TRAY                        136

/* Main window */
#define IDD_QUARROW_DIALOG              102
#define IDC_MAIN_BT_HEADING             1033
#define IDC_MAIN_BT_ADD                 1034
#define IDC_MAIN_REFRESH                1035
#define IDC_MAIN_BT_LIST                1036
#define IDC_MAIN_BT_ACTIONS             1037    /* header-only list above the BT row panel */
#define IDC_MAIN_BT_FILLER              1038    /* covers the BT panel below its last row */
#define IDC_MAIN_BT_SCROLL              1039
#define IDC_MAIN_WEB_HEADING            1040
#define IDC_MAIN_WEB_ADD                1041
#define IDC_MAIN_WEB_LIST               1042
#define IDC_MAIN_WEB_ACTIONS            1043
#define IDC_MAIN_WEB_FILLER             1044
#define IDC_MAIN_WEB_SCROLL             1045
#define IDC_MAIN_STATE                  1052
/* Per-row controls of the main window: first ID + row (0 to 9) */
#define IDC_BT_PRIORITY_FIRST           2001    /* combo box High, Normal, Low */
#define IDC_BT_ACTION_FIRST             2101    /* Pause or Resume */
#define IDC_BT_REMOVE_FIRST             2201
#define IDC_WEB_ACTION_FIRST            2301
#define IDC_WEB_REMOVE_FIRST            2401
/* System menu item of the about box */
#define IDM_ABOUTBOX                    16

/* Menus */
#define IDR_TRAY_MENU                   137     /* pop-up of the notification icon */
#define IDR_MAIN_MENU                   138     /* menu bar of the main window */
#define ID_TRAY_SHOW_WINDOW             32771
#define ID_TRAY_TOGGLE_BT               32772
#define ID_TRAY_TOGGLE_WEBFTP           32774
#define ID_TRAY_EXIT                    32777
#define ID_MENU_RESCAN                  32778
#define ID_MENU_TOGGLE_WEBFTP           32781
#define ID_MENU_DEFAULT_PATH            32782
#define ID_MENU_EXIT                    32783
#define ID_MENU_TOGGLE_BT               32784
#define ID_MENU_REFRESH                 32785

/* Wait dialog */
#define IDD_WAIT                        140
#define IDC_WAIT_STATUS                 1053    /* operation status text */
#define IDC_WAIT_TEXT                   1054    /* "Please wait" with moving dots */

/* Select Server dialog */
#define IDD_SELECT_SERVER               130
#define IDC_SERVER_LIST                 1000
#define IDC_SERVER_RESCAN               1001
#define IDC_SERVER_REMEMBER             1002
#define IDC_SERVER_PROMPT               1022

/* Log in dialog */
#define IDD_LOGIN                       131
#define IDC_LOGIN_USER                  1003
#define IDC_LOGIN_PASSWORD              1004
#define IDC_LOGIN_REMEMBER              1005
#define IDC_LOGIN_USER_LABEL            1020
#define IDC_LOGIN_PASSWORD_LABEL        1021

/* Select Path on Server dialog */
#define IDD_SELECT_PATH                 132
#define IDC_PATH_TREE                   1007
#define IDC_PATH_FOLDER                 1008
#define IDC_PATH_PROMPT                 1023
#define IDC_PATH_FOLDER_LABEL           1024
#define IDB_FOLDER_IMAGES               1034    /* two 16x16 images: disk, folder */

/* Add BT Torrent and Add Web/FTP Download dialogs (shared IDs where both have the control) */
#define IDD_ADD_BT                      133
#define IDD_ADD_FTP                     134
#define IDC_ADDBT_FROM_PC               1009    /* first radio button of the source group */
#define IDC_ADDBT_FROM_URL              1010
#define IDC_ADDBT_FILE                  1011
#define IDC_ADD_URL                     1012
#define IDC_ADDBT_BROWSE_FILE           1013
#define IDC_ADD_SAVE_PATH               1014    /* always disabled; changed with its browse button */
#define IDC_ADD_BROWSE_FOLDER           1015
#define IDC_ADDBT_PRIORITY              1016
#define IDC_ADDBT_GROUP                 1017
#define IDC_ADD_SAVE_LABEL              1018
#define IDC_ADDBT_PRIORITY_LABEL        1019
#define IDC_ADDFTP_USER_LABEL           1020
#define IDC_ADDFTP_PASSWORD_LABEL       1021
#define IDC_ADDFTP_URL_LABEL            1025
#define IDC_ADDFTP_USER                 1029
#define IDC_ADDFTP_USER_OPTIONAL        1030
#define IDC_ADDFTP_PASSWORD             1031
#define IDC_ADDFTP_PASSWORD_OPTIONAL    1032
#define IDC_ADD_CHARSET                 1058
#define IDC_ADD_CHARSET_LABEL           1059

/* About box (system menu) */
#define IDD_ABOUTBOX                    100

/* Hand-over window of a "/f" or "/l" start */
#define IDD_CMD_ADD                     142
#define IDC_CMDADD_CANCEL               1061
#define IDC_CMDADD_TEXT                 1062

/* ------------------------------------------------------------------------
 * Strings: application, registry and notification icon
 * ------------------------------------------------------------------------ */

#define IDS_ABOUTBOX                    101     /* system menu item of the about box */
#define IDS_MENUEXT_NAME                102     /* browser context-menu entry and its key name */
#define IDS_ERR_SOCKETS_INIT            103
#define IDS_TRAY_TIP                    104
#define IDS_STATE_DISCONNECTED          105
#define IDS_STATE_READY                 106
#define IDS_REGISTRY_KEY                136     /* settings key under HKEY_CURRENT_USER */
#define IDS_TORRENT_FILTER              137     /* open-file dialog filter for torrent files */

/* ------------------------------------------------------------------------
 * Strings: wait dialog status lines of the device operations
 * ------------------------------------------------------------------------ */

#define IDS_STATUS_ADD_BT               107     /* add BT item from file or URL */
#define IDS_STATUS_ADD_WEBFTP           108
#define IDS_STATUS_GET_STATUS           109     /* fetch of the download lists */
#define IDS_STATUS_ENABLE_BT            110
#define IDS_STATUS_DISABLE_BT           111
#define IDS_STATUS_ENABLE_WEBFTP        112
#define IDS_STATUS_DISABLE_WEBFTP       113
#define IDS_STATUS_SET_BT_PRIORITY      114
#define IDS_STATUS_PAUSE_BT             115
#define IDS_STATUS_RESUME_BT            116
#define IDS_STATUS_REMOVE_BT            117
#define IDS_STATUS_PAUSE_WEBFTP         118
#define IDS_STATUS_RESUME_WEBFTP        119
#define IDS_STATUS_REMOVE_WEBFTP        120
#define IDS_STATUS_SET_DEFAULT_PATH     138
#define IDS_STATUS_CONNECTING           139
#define IDS_STATUS_GET_DEFAULT_PATH     140
#define IDS_STATUS_OPEN_FOLDER          141     /* listing disks and folders on the server */

/* ------------------------------------------------------------------------
 * Strings: BT priorities (combo boxes of the main window and Add BT dialog)
 * ------------------------------------------------------------------------ */

#define IDS_PRIORITY_HIGH               121
#define IDS_PRIORITY_NORMAL             122
#define IDS_PRIORITY_LOW                123

/* ------------------------------------------------------------------------
 * Strings: messages for server reply codes (ERR_...)
 * ------------------------------------------------------------------------ */

#define IDS_ERR_NO_VALID_DEVICE         5001
#define IDS_ERR_NO_VALID_PARTITION      5002
#define IDS_ERR_MAX_DOWNLOAD_COUNT      5003
#define IDS_ERR_SYSTEM_BUSY             5004
#define IDS_ERR_PATH_OVERLAP            5005
#define IDS_ERR_FILENAME_OVERLAP        5006
#define IDS_ERR_DIR_NOT_EXIST           5007
#define IDS_ERR_SAVE_FILE               5008
#define IDS_ERR_WRITE_PROTECT           5009
#define IDS_ERR_DIR_ERROR               5010
#define IDS_ERR_PAUSED_BEFORE           5011
#define IDS_ERR_PAUSED_FINISHED         5012
#define IDS_ERR_ITEM_DOWNLOADING        5013
#define IDS_ERR_MAX_BT_DOWNLOAD         5014
#define IDS_ERR_NTFS_PARTITION          5015
#define IDS_ERR_PARTITION_RO            5016
#define IDS_ERR_TORRENT_ADDED           5017
#define IDS_ERR_READ_TORRENT            5018
#define IDS_ERR_NOT_VALID_TORRENT       5019
#define IDS_ERR_NOT_VALID_URL           5020
#define IDS_ERR_ALL_ITEMS_RO_PARTITION  5021
#define IDS_ERR_NULL_ITEM               5022
#define IDS_ERR_BT_DISABLED             5023
#define IDS_ERR_FINISHED_PAUSED         5024
#define IDS_ERR_DOWNLOADING_FINISHED    5025
#define IDS_ERR_SOME_ITEMS_RO_PARTITION 5026
/* 5027 is not used */
#define IDS_ERR_ALL_RO_PARTITION        5028
#define IDS_ERR_NOT_SELECT              5029
#define IDS_ERR_NO_USB                  5030
#define IDS_ERR_NO_FILE_USB1            5031
#define IDS_ERR_NO_FILE_USB2            5032
#define IDS_ERR_DISK_FILES              5033
#define IDS_ERR_OPEN_RO                 5034
#define IDS_ERR_OPEN_REDUPLICATE_NAME   5035
#define IDS_ERR_INVALID_URL             5036

/* ------------------------------------------------------------------------
 * Strings: locally produced messages
 * ------------------------------------------------------------------------ */

#define IDS_NOT_CONNECTED               5501
#define IDS_CONNECT_ERROR               5502    /* also transport failure */
#define IDS_SERVER_ERROR                5503    /* reply without a usable marker line */
#define IDS_UNDEFINED_ERROR             5504    /* unknown reply code */
#define IDS_CANNOT_OPEN_FILE            5505
#define IDS_FILENAME_EMPTY              5506
#define IDS_URL_EMPTY                   5507
#define IDS_SAVE_PATH_EMPTY             5508
#define IDS_SELECT_FOLDER               5511
#define IDS_URL_BAD_SCHEME              5512
#define IDS_NO_DISK                     5513
#define IDS_THREAD_FAILED               5515
#define IDS_TIMEOUT                     5516
#define IDS_ALREADY_RUNNING             5517
#define IDS_CONFIRM_REMOVE              5518
#define IDS_SELECT_SERVER               5519
#define IDS_DROP_NOT_TORRENT            5530    /* files dropped onto the main window that are not torrents */
#define IDS_DISCOVERY_PORT_BUSY         5540    /* server selection cannot listen: another program holds the port */
#define IDS_HANDOVER_CHARSET            5541    /* a link's character set this system cannot convert to */

/* ------------------------------------------------------------------------
 * Strings: Add BT Torrent dialog
 * ------------------------------------------------------------------------ */

#define IDS_ADDBT_TITLE                 6101
#define IDS_ADDBT_SOURCE_GROUP          6102
#define IDS_ADDBT_FROM_PC               6103
#define IDS_ADDBT_FROM_URL              6104
#define IDS_ADDBT_BROWSE_FILE           6105
#define IDS_ADDBT_SAVE_FOLDER           6106
#define IDS_ADDBT_BROWSE_FOLDER         6107
#define IDS_ADDBT_PRIORITY              6108
#define IDS_ADDBT_OK                    6109
#define IDS_ADDBT_CANCEL                6110
#define IDS_ADDBT_CHARSET               6111

/* ------------------------------------------------------------------------
 * Strings: Add Web/FTP Download dialog
 * ------------------------------------------------------------------------ */

#define IDS_ADDFTP_TITLE                6121
#define IDS_ADDFTP_URL                  6122
#define IDS_ADDFTP_SAVE_AS              6123
#define IDS_ADDFTP_BROWSE               6124
#define IDS_ADDFTP_USER                 6125
#define IDS_ADDFTP_PASSWORD             6126
#define IDS_ADDFTP_OPTIONAL             6127
#define IDS_ADDFTP_CHARSET              6130

/* Character-set box of both add dialogs */
#define IDS_CHARSET_DEFAULT             6131

/* ------------------------------------------------------------------------
 * Strings: main window
 * ------------------------------------------------------------------------ */

#define IDS_MAIN_CAPTION                6141
#define IDS_MAIN_BT_HEADING             6142
#define IDS_MAIN_BT_ADD                 6143
#define IDS_MAIN_REFRESH                6144
#define IDS_MAIN_WEBFTP_HEADING         6145
#define IDS_MAIN_WEBFTP_ADD             6146

/* Per-row buttons */
#define IDS_BT_PAUSE                    6147
#define IDS_BT_RESUME                   6148
#define IDS_BT_REMOVE                   6149
#define IDS_WEBFTP_PAUSE                6150
#define IDS_WEBFTP_RESUME               6151
#define IDS_WEBFTP_REMOVE               6152

/* BT list columns */
#define IDS_BTCOL_NAME                  6153
#define IDS_BTCOL_CONTENTS              6154
#define IDS_BTCOL_REMAINING_TIME        6155
#define IDS_BTCOL_TOTAL_SIZE            6156
#define IDS_BTCOL_SCHEDULE              6157
#define IDS_BTCOL_THROUGHPUT            6158
#define IDS_BTCOL_STATUS                6159

/* BT action header columns */
#define IDS_BTACT_PRIORITY              6160
#define IDS_BTACT_ACTION                6161
#define IDS_BTACT_REMOVE                6162

/* Web/FTP list columns */
#define IDS_WEBCOL_FILE_NAME            6163
#define IDS_WEBCOL_SIZE                 6164
#define IDS_WEBCOL_LOAD_SIZE            6165
#define IDS_WEBCOL_STATUS               6166
#define IDS_WEBCOL_SAVE_PATH            6167
#define IDS_WEBCOL_URL                  6168

/* Web/FTP action header columns */
#define IDS_WEBACT_ACTION               6169
#define IDS_WEBACT_REMOVE               6170

/* Caption while connected, formatted with the server's display text */
#define IDS_MAIN_CAPTION_FMT            6171

/* ------------------------------------------------------------------------
 * Strings: Log in dialog
 * ------------------------------------------------------------------------ */

#define IDS_LOGIN_CAPTION_FMT           6201
#define IDS_LOGIN_USER                  6202
#define IDS_LOGIN_PASSWORD              6203
#define IDS_LOGIN_REMEMBER              6204
#define IDS_LOGIN_OK                    6205
#define IDS_LOGIN_CANCEL                6206

/* ------------------------------------------------------------------------
 * Strings: Select Server dialog
 * ------------------------------------------------------------------------ */

#define IDS_SELSERVER_CAPTION           6211
#define IDS_SELSERVER_PROMPT            6212
#define IDS_SELSERVER_RESCAN            6213
#define IDS_SELSERVER_REMEMBER          6214
#define IDS_SELSERVER_OK                6215
#define IDS_SELSERVER_CANCEL            6216

/* ------------------------------------------------------------------------
 * Strings: Select Path on Server dialog
 * ------------------------------------------------------------------------ */

#define IDS_SELPATH_CAPTION             6221
#define IDS_SELPATH_PROMPT              6222
#define IDS_SELPATH_FOLDER              6223
#define IDS_SELPATH_OK                  6224
#define IDS_SELPATH_CANCEL              6225

/* ------------------------------------------------------------------------
 * Strings: wait dialog
 * ------------------------------------------------------------------------ */

#define IDS_PLEASE_WAIT                 6241    /* followed by 0 to 9 dots */

/* ------------------------------------------------------------------------
 * Strings: hand-over window (torrent file or link given on the command line)
 * ------------------------------------------------------------------------ */

#define IDS_CMDADD_TITLE_TORRENT        6301
#define IDS_CMDADD_TITLE_URL            6302
#define IDS_CMDADD_CANCEL               6303
#define IDS_CMDADD_TEXT_TORRENT         6304
#define IDS_CMDADD_TEXT_URL             6305

/* ------------------------------------------------------------------------
 * Strings: service toggle items of the main menu and the tray menu
 * ------------------------------------------------------------------------ */

#define IDS_MENU_ENABLE_BT              6501
#define IDS_MENU_DISABLE_BT             6502
#define IDS_MENU_ENABLE_WEBFTP          6503
#define IDS_MENU_DISABLE_WEBFTP         6504

#define IDS_TRAY_ENABLE_BT              6531
#define IDS_TRAY_DISABLE_BT             6532
#define IDS_TRAY_ENABLE_WEBFTP          6533
#define IDS_TRAY_DISABLE_WEBFTP         6534

/* ------------------------------------------------------------------------
 * Notifications of finished and failed downloads: the check item of the
 * main menu and the tray menu, and the balloons of the notification icon
 * ------------------------------------------------------------------------ */

#define ID_MENU_NOTIFY                  32786
#define ID_TRAY_NOTIFY                  32787
#define IDS_MENU_NOTIFY                 6505
#define IDS_TRAY_NOTIFY                 6535
#define IDS_NOTIFY_FINISHED             6541    /* title of one job's balloon */
#define IDS_NOTIFY_FAILED               6542
#define IDS_NOTIFY_SUMMARY              6543    /* title of the balloon for more than three jobs */
#define IDS_NOTIFY_SOME_FINISHED        6544    /* %d: number of jobs */
#define IDS_NOTIFY_SOME_FAILED          6545
#define IDS_NOTIFY_SOME_ENDED           6546    /* %d finished, %d failed */

#endif /* QUARROW_RESOURCE_H */
