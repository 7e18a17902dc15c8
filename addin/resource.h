/* Resource identifiers of Brevlet.dll. */
#ifndef BREVLET_RESOURCE_H
#define BREVLET_RESOURCE_H
#define IDS_PROJNAME 100
#define IDR_BREVLET 101
#endif
