/* Resource numbers of the about box, shared by about_box.rc and the dialog code. Chosen apart from
   the control library's other resources (engine image, toolbox bitmap, version record). */
#pragma once

#define QTV_IDD_ABOUT_BOX 4101
#define QTV_IDI_ABOUT_BOX 4101
