#pragma once
// Registered window messages through which the list control and its in-place
// editors talk to their owners. Each name is registered once, when the program
// starts (static initialisation of the controls library).
#include <windows.h>

// To the list's parent (wParam row, lParam column): a mouse click toggled a
// check box; a drop-down editor ended with a choice; a text editor ended with
// Enter or loss of focus.
extern const UINT WM_XLISTCTRL_CHECKBOX_CLICKED;
extern const UINT WM_XLISTCTRL_COMBO_SELECTION;
extern const UINT WM_XLISTCTRL_EDIT_END;
// From the in-place editors to the list control.
extern const UINT WM_XCOMBOLIST_VK_ESCAPE;
extern const UINT WM_XCOMBOLIST_COMPLETE;
extern const UINT WM_XEDIT_KILL_FOCUS;
extern const UINT WM_XEDIT_VK_ESCAPE;
