// Identifiers of the image-button tests' resources; read by the resource compiler too.
#ifndef BRISALUNE_IMAGE_BUTTON_TEST_IDS_H
#define BRISALUNE_IMAGE_BUTTON_TEST_IDS_H

#define IDD_BUTTON_HOST 900
#define IDP_TEST_PICTURE 910
#define IDP_NOT_A_PICTURE 911
#define IDP_MISSING 912

#define IDC_PICTURE_BUTTON 901
#define IDC_MISSING_BUTTON 902
#define IDC_GARBAGE_BUTTON 903

#endif
