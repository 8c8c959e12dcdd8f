/* Identifiers of the settings dialogs' templates in the library's resources, for the resource
   scripts and the code that loads them. */
#ifndef OSTREL_UI_DIALOG_TEMPLATES_H
#define OSTREL_UI_DIALOG_TEMPLATES_H

#define OSTREL_DLG_ANALOG_EN 111
#define OSTREL_DLG_ANALOG_JA 104
#define OSTREL_DLG_ANALOG_PAGE_EN 110
#define OSTREL_DLG_ANALOG_PAGE_JA 105
#define OSTREL_DLG_CAMERA_EN 120
#define OSTREL_DLG_CAMERA_JA 121
#define OSTREL_DLG_IMAGE_EN 130
#define OSTREL_DLG_IMAGE_JA 131
#define OSTREL_DLG_IMAGE_PAGE_EN 132
#define OSTREL_DLG_IMAGE_PAGE_JA 133
#define OSTREL_DLG_GRAY_PAGE_EN 134
#define OSTREL_DLG_GRAY_PAGE_JA 135

#endif
