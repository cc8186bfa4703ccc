// Resources of the window-layer tests (a frame, a menu, keys, a dialog).
#pragma once
#define IDR_TEST_FRAME 200
#define IDD_TEST_DIALOG 400
#define IDC_TEST_EDIT 1000
#define ID_TEST_RUN 300
#define ID_TEST_GATED 301
#define ID_TEST_ORPHAN 302
#define ID_TEST_FAIL 303
#define ID_TEST_NEXT_PANE 57680
