/* Numbers of the program's own resources and of the controls of the CSPSetup dialog,
   shared by bootstrapper.rc and the C++ code. Plain #defines so that the resource
   compiler can read them too. */
#ifndef BOOTSTRAPPER_RESOURCE_IDS_H
#define BOOTSTRAPPER_RESOURCE_IDS_H

#define IDI_BOOTSTRAPPER 100
#define IDD_CSP_SETUP 141
/* Release builds only: the SHA-256 of each file the release lays out for the program. */
#define IDR_RELEASE_MANIFEST 300

/* Controls of IDD_CSP_SETUP; its cancel button is IDCANCEL (2). */
#define IDC_NEXT 140
#define IDC_LANG_RUSSIAN 1006
#define IDC_LANG_ENGLISH 1007
#define IDC_LEVEL_KC1 1008
#define IDC_LEVEL_KC2 1009
#define IDC_LEVEL_KC3 1010
#define IDC_BANNER 1011
#define IDC_LANGUAGE_GROUP 1012
#define IDC_LEVEL_GROUP 1013
#define IDC_WELCOME_TEXT 1014
#define IDC_OPTIONS 1015

#endif /* BOOTSTRAPPER_RESOURCE_IDS_H */
