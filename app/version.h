/* Version information shared by the programs' resources. */
#ifndef QUARROW_VERSION_H
#define QUARROW_VERSION_H
#define QUARROW_VERSION_NUMBERS 1, 0, 0, 1
#define QUARROW_VERSION_TEXT "1.0.0.1"
#define QUARROW_COMPANY "Storage Server"
#define QUARROW_COPYRIGHT "Copyright (C) 2026 Storage Server"
#endif
