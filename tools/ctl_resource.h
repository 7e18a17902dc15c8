// IDs of quarrowctl's own texts: its usage and the messages about its command
// line. The program also embeds Quarrow's string table (the results' messages),
// whose IDs all lie below these.
#pragma once

// The IDs stand in aligned columns, as resource headers are kept.
// clang-format off

#define IDS_CTL_USAGE                       7001
#define IDS_CTL_HELP_HINT                   7002

// What is wrong with a command line; %1, %2 are filled in.
#define IDS_CTL_UNKNOWN_OPTION              7010
#define IDS_CTL_OPTION_NEEDS_VALUE          7011
#define IDS_CTL_BAD_REPEAT                  7012
#define IDS_CTL_UNKNOWN_COMMAND             7013
#define IDS_CTL_JSON_WITH_MEASURING         7014
#define IDS_CTL_NO_SERVER                   7015
#define IDS_CTL_COMMAND_UNKNOWN_OPTION      7016
#define IDS_CTL_COMMAND_OPTION_NEEDS_VALUE  7017
#define IDS_CTL_EXPECTED_NO_ARGUMENTS       7018
#define IDS_CTL_EXPECTED_ON_OFF             7019
#define IDS_CTL_NOT_ON_OFF                  7020
#define IDS_CTL_EXPECTED_PRIORITY           7021
#define IDS_CTL_BAD_PRIORITY                7022
#define IDS_CTL_EXPECTED_JOB                7023
#define IDS_CTL_EXPECTED_BT_JOB             7024
#define IDS_CTL_EXPECTED_WEB_JOB            7025
#define IDS_CTL_NOT_BT_OR_WEB               7026
#define IDS_CTL_EXPECTED_FILE               7027
#define IDS_CTL_EXPECTED_URL                7028
#define IDS_CTL_EXPECTED_PATH               7029
#define IDS_CTL_EXPECTED_WAIT_ONLY          7030
#define IDS_CTL_BAD_WAIT                    7031
#define IDS_CTL_URL_EMPTY                   7032
#define IDS_CTL_URL_UNCONVERTIBLE           7033
#define IDS_CTL_CHARSET_FILE_UNREADABLE     7034
#define IDS_CTL_CHARSET_UNKNOWN             7035
#define IDS_CTL_CHARSET_UNSUPPORTED         7036
