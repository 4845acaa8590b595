// WM_COMMAND ids of the main menu "Vx", the accelerator table "Vx" and the
// commands that other windows and workers post to the main window.
//
// Plain macros on purpose: resources/vx.rc includes this file, and the
// resource compiler understands #define but not C++ declarations.
#pragma once

// File
#define CMD_OPEN_IMAGE 40011
#define CMD_SAVE_IMAGE 40012
#define CMD_PRINT 40014
#define CMD_GO_TO_IMAGE 40015 // List window, lParam = entry index
#define CMD_NEXT_IMAGE 40016
#define CMD_PREVIOUS_IMAGE 40017
#define CMD_FIRST_IMAGE 40018
#define CMD_LAST_IMAGE 40019
#define CMD_REOPEN_IMAGE 40020
#define CMD_SHELL_FOLDER 40021
#define CMD_EXIT 40022
#define CMD_REREAD_FOLDER 40024 // List window
#define CMD_DELETE_FILE 40025
#define CMD_DELETE_SELECTED 40026 // List window
#define CMD_COPY_SELECTED 40027   // List window
#define CMD_MOVE_SELECTED 40028   // List window
#define CMD_COPY 40421
#define CMD_PASTE 40422
#define CMD_EMPTY_CLIPBOARD 40423
#define CMD_ACQUIRE 40427
#define CMD_TWAIN_SOURCE_FIRST 40428 // item i of the "Acquire" submenu: 40428 + i
#define CMD_TWAIN_SOURCE_LAST 40443

// Image
#define CMD_MODE_MENU 40910
#define CMD_MODE_MONOCHROME 40911
#define CMD_MODE_GRAY2 40912
#define CMD_MODE_GRAY4 40913
#define CMD_MODE_GRAY8 40914
#define CMD_MODE_GRAY16 40915
#define CMD_MODE_GRAY_HALF 40916
#define CMD_MODE_GRAY_FLOAT 40917
#define CMD_MODE_INDEX1 40918
#define CMD_MODE_INDEX2 40919
#define CMD_MODE_INDEX4 40920
#define CMD_MODE_INDEX8 40921
#define CMD_MODE_RGB8 40922
#define CMD_MODE_RGB16 40923
#define CMD_MODE_RGB_HALF 40924
#define CMD_MODE_RGB_FLOAT 40925
#define CMD_USE_ALPHA 40501
#define CMD_USE_BACKGROUND 40502
#define CMD_RESOLUTION 40940
#define CMD_ALPHA_MENU 40980
#define CMD_ALPHA_ADD 40981
#define CMD_ALPHA_REMOVE 40982
#define CMD_ALPHA_INVERT 40983
#define CMD_ALPHA_SAVE 40984
#define CMD_ALPHA_LOAD 40985
#define CMD_TRANSFORM_MENU 40900
#define CMD_MIRROR_LEFT_RIGHT 40901
#define CMD_MIRROR_UP_DOWN 40902
#define CMD_ROTATE_90 40903
#define CMD_ROTATE_180 40904
#define CMD_ROTATE_270 40905
#define CMD_INVERT 40906
#define CMD_SWAP_RED_BLUE 40907
#define CMD_PALETTE 40951
#define CMD_TONEMAPPING 40952
#define CMD_COLOR_FILTER 40953
#define CMD_GAUSS_FILTER 40954
#define CMD_RESAMPLE 40955
#define CMD_CROP 40956
#define CMD_EXPAND 40957
#define CMD_SHIFT 40958
#define CMD_AFFINE 40959
#define CMD_PERSPECTIVE 40960
#define CMD_PROJECTION_3D 40961
#define CMD_WRITE_TEXT 40962

// Options
#define CMD_BACKGROUND_COLOR 40035
#define CMD_STYLE_LIGHT 40036
#define CMD_STYLE_DARK 40037
#define CMD_WHEEL_ZOOM 40038
#define CMD_WHEEL_BROWSE 40039
#define CMD_WARNING_MESSAGES 40040
#define CMD_ASK_IF_CHANGED 40041
#define CMD_MULTIPAGE_DIALOG 40042
#define CMD_DIALOG_TIPS 40043
#define CMD_AUTO_FOCUS 40044
#define CMD_UNIT_CM 40045
#define CMD_UNIT_INCH 40046
#define CMD_FIT_NOTHING 40050
#define CMD_FIT_IMAGE_TO_WINDOW 40051
#define CMD_FIT_WINDOW_TO_IMAGE 40052
#define CMD_SMOOTH_RESIZING 40053
#define CMD_HIGH_QUALITY_RESIZING 40060
#define CMD_UPSAMPLE_SMALLER 40061
#define CMD_FX_OFF 40062 // 40062-40067: transition effects 0-5
#define CMD_FX_BLEND 40063
#define CMD_FX_MOSAIK 40064
#define CMD_FX_STRIPES 40065
#define CMD_FX_PUSH_LEFT_RIGHT 40066
#define CMD_FX_PUSH_UP_DOWN 40067
#define CMD_FULL_SCREEN 40108
#define CMD_SLIDESHOW 40109
#define CMD_IMPORT_EXR 40201
#define CMD_IMPORT_RAW 40202
#define CMD_IMPORT_PCD 40203
#define CMD_DITHER_OFF 40510 // 40510-40512: SetDither 0-2
#define CMD_DITHER_ON 40511
#define CMD_DITHER_ASK 40512
#define CMD_DITHER_TOGGLE 40513   // Shift+D, no menu item
#define CMD_MONO_DITHER_OFF 40520 // 40520-40523: SetMonochromeDither 0-3
#define CMD_MONO_DITHER_ORDERED 40521
#define CMD_MONO_DITHER_FLOYD 40522
#define CMD_MONO_DITHER_HALFTONE 40523
#define CMD_MONO_DITHER_ASK 40524

// Windows and Help
#define CMD_INFO_WINDOW 40101
#define CMD_LIST_WINDOW 40102
#define CMD_HISTOGRAM_WINDOW 40103
#define CMD_ACTIONS_WINDOW 40104
#define CMD_HELP 40611
#define CMD_ABOUT 40612

// View and other commands without a menu item
#define CMD_CONTEXT_MENU 40030
#define CMD_CONTEXT_MENU_SHIFT 40031
#define CMD_CONTEXT_MENU_CONTROL 40032
#define CMD_ZOOM_1_1 40070
#define CMD_ZOOM_IN 40071
#define CMD_ZOOM_OUT 40072
#define CMD_ZOOM_1_1_RATIO 40080
#define CMD_ZOOM_IN_RATIO 40081
#define CMD_ZOOM_OUT_RATIO 40082
#define CMD_SCROLL_UP 40091
#define CMD_SCROLL_DOWN 40092
#define CMD_SCROLL_LEFT 40093
#define CMD_SCROLL_RIGHT 40094
#define CMD_FIT_WINDOW_TO_CLIENT 40999
#define CMD_UNDO 40530
#define CMD_REDO 40531
#define CMD_FULL_SCREEN_STEP 40118 // sent by 40108, lParam = step 1-3
#define CMD_GO_TO_PAGE 40426       // multipage dialog, lParam = page index
#define CMD_SAVE_FINISHED 40301    // save thread
#define CMD_FOLDER_SCAN_FINISHED 40302
#define CMD_TWAIN_EVENT 1033       // TWAIN, lParam = code
#define CMD_TOOL_WORKER_DONE 40517 // tool-dialog worker to its dialog
#define CMD_ESCAPE 39999           // accelerators that reach no command

// List window commands that the main window takes too, so that the exports
// can be reached while no List window is open.
#define CMD_SHEET_EXPORT 40725
#define CMD_GALLERY_EXPORT 40726
#define CMD_SELECT_ALL 40730
#define CMD_BACKSPACE 39998

// Message 1125 (WM_USER + 101): wParam is a global atom naming a path to open.
#define MSG_OPEN_PATH_ATOM 1125
