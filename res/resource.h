// Resource and control identifiers: the numbers of the dialog template, named once.
#pragma once

// The setup dialog's caption, for the template and for whoever looks for the dialog.
#define SETUP_DIALOG_CAPTION "Zantrel安装"

#define IDI_APP 1
#define IDD_SETUP 141
#define IDB_LOGO 147

#define IDC_PATH 1000
#define IDC_TITLE 1013
#define IDC_PROGRESS 1014
#define IDC_BROWSE 1015
#define IDC_GROUP_CAPTION 1016
#define IDC_PATH_CAPTION 1017
#define IDC_EDITION 1018
#define IDC_INSTALL 1022
#define IDC_YEAR_2021 1037
#define IDC_YEAR_2022 1038
#define IDC_YEAR_2023 1039
#define IDC_YEAR_2024 1040
#define IDC_YEAR_2025 1041
#define IDC_YEAR_2026 1042
#define IDC_YEAR_2027 1043

// The standard Help command of the application's command table.
#define ID_HELP_COMMAND 57670
