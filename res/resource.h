// Resource and command identifiers of Torvane Brenlow: one header for the
// resource script and the code, so every number has exactly one name.
// Plain #defines, because the resource compiler reads this file too.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_PELGRANE_FORM 101
#define IDD_DLG_ADD 310
// The progress window of page reads (Add, Batch Add)
#define IDD_READING 340

// Main frame: menu bar, accelerators, icon and the document template string
#define IDR_MAINFRAME 128
// Context menu of the movie list
#define IDR_POPUP_EDIT 119

// Bitmaps of the ribbon and the list header (drawn by later parts of the window)
#define IDB_MAIN 112
#define IDB_BUTTONS 113
#define IDB_SMALLICONS 312
#define IDB_LARGEICONS 314
#define IDB_CHECKBOXES 326

// Strings
#define IDP_OLE_INIT_FAILED 100
#define IDS_STATUS_PANE1 122
#define IDS_STATUS_PANE2 123
#define IDS_RIBBON_FILE 260
#define IDS_RIBBON_NEW 262
#define IDS_RIBBON_OPEN 263
#define IDS_RIBBON_SAVE 264
#define IDS_RIBBON_SAVEAS 265
#define IDS_EDIT_MENU 306
#ifndef AFX_IDS_APP_TITLE
#define AFX_IDS_APP_TITLE 57344
#endif

// Status bar panes
#define ID_STATUSBAR_PANE1 120
#define ID_STATUSBAR_PANE2 121

// Controls
#define IDC_MOVIE_LIST 1000
#define IDC_VERSION 1001
#define IDC_COPYRIGHT 1002
#define IDC_HOMEPAGE 1004
#define IDC_ADDRESS 1007
#define IDC_PROMPT 1008
#define IDC_READING_TEXT 1040
#define IDC_READING_BAR 1041

// The program's own commands
#define ID_MOVIES_ADD 32771
#define ID_MOVIES_BATCH_ADD 32772
#define ID_DOWNLOAD_START 32775
#define ID_DOWNLOAD_STOP 32776
#define ID_LINK_HOME 32794
#define ID_LINK_PRODUCT 32795
#define ID_LINK_CONTACT 32796
#define ID_OPTIONS_OUTPUT_FOLDER 32807
#define ID_MOVIES_OPEN_FOLDER 32817
#define ID_MOVIES_DELETE 32819
#define ID_OPTIONS_OPEN_FOLDER 32821
#define ID_MOVIES_OPEN_URL 32824

// The standard commands, at their customary numbers
#ifndef ID_FILE_NEW
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_CLOSE 57602
#define ID_FILE_SAVE 57603
#define ID_FILE_SAVE_AS 57604
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#endif
