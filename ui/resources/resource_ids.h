// Identifiers of the configuration dialog's template, controls and images.
#pragma once

#define IDR_DIALOG_MANIFEST 2
#define IDD_CONFIGURE_AIS 19000
#define IDB_CANCEL_CROSS 19001
#define IDB_OK_CHECK 19002

#define IDC_CONNECTION_TYPE 15000
#define IDC_ROW1_PLACEHOLDER 15004
#define IDC_ROW2_PLACEHOLDER 15005
#define IDC_ROW3_PLACEHOLDER 15006
#define IDC_ROW1_CAPTION 15007
#define IDC_ROW2_CAPTION 15008
#define IDC_ROW3_CAPTION 15009
#define IDC_CRC_CHECK 15010

// The system's identifiers, for code that does not include the Windows headers.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
