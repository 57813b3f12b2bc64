#pragma once
// Resource ids. Message ids of the string table are the message numbers
// themselves (see winsupport/MessageCatalogue.h).

#define IDI_APPLICATION_ICON 1
#define IDB_WELCOME 101
// The same picture drawn for 150 % and 200 %: the base id plus one and two.
#define IDB_WELCOME_150 102
#define IDB_WELCOME_200 103
#define IDI_STATUS_OK 110
#define IDI_STATUS_PROBLEM 111
#define IDI_DOWN_ARROW 112
#define IDI_REPAIRING 113
#define IDB_LIST_IMAGES 114
#define IDB_LIST_IMAGES_150 115
#define IDB_LIST_IMAGES_200 116
#define IDC_LINK_HAND 120
