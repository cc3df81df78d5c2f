#pragma once
// Resource and control ids of the pairing dialog. Plain defines so that the
// resource compiler can read this file as well as C++.

#define IDD_PAIRING 201

#define IDC_PAIRING_CODE 210
#define IDC_PAIRING_INSTRUCTION 211
#define IDC_PAIRING_PROGRESS 212
#define IDC_PAIRING_PHONE 213
#define IDC_PAIRING_HEADING 214

// The confirm and refuse buttons reuse the system ids IDYES (6) and IDCANCEL (2),
// so that Escape and the close box arrive as IDCANCEL.
#define IDC_PAIRING_CONFIRM 6
#define IDC_PAIRING_REFUSE 2
