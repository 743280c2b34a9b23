/* Resource identifiers shared by the resource script and the code, grouped by owner. */
#ifndef TOLVAR_RESOURCE_H
#define TOLVAR_RESOURCE_H

/* Controls the code never addresses */
#define IDC_STATIC -1

/* Icons */
#define IDI_MAIN 101         /* class icon of the statistics window, About box */
#define IDI_TRAY 103         /* the tray icon */
#define IDI_CONNECTED 122    /* status line: "Connected..." */
#define IDI_DISCONNECTED 123 /* status line: "No connection" */
#define IDI_DETAILS 129      /* class icon of the detailed window */

/* Menus */
#define IDM_STATISTICS 104 /* menu bar of the statistics window */
#define IDM_TRAY 112       /* its sub-menu 0 is the tray pop-up */
#define IDM_DETAILS 128    /* menu bar of the detailed window */
/* History window */
#define IDM_HISTORY 140 /* menu bar of the history window */

/* Dialogs */
#define IDD_SETTINGS 114
#define IDD_ABOUT 115

/* Tray menu commands */
#define IDC_TRAY_SHOW_STATISTICS 40001
#define IDC_TRAY_SETTINGS 40002
#define IDC_TRAY_EXIT 40003
#define IDC_TRAY_SHOW_TIMER 40004
#define IDC_TRAY_RESET_COUNTERS 40005
#define IDC_TRAY_DETAILS_ALL 40012
#define IDC_TRAY_DETAILS_LAST_MONTH 40025
#define IDC_TRAY_DETAILS_CURRENT_MONTH 40026
#define IDC_TRAY_SUM_UP 40030

/* Statistics window menu commands */
#define IDC_STATISTICS_ABOUT 40006
#define IDC_STATISTICS_HIDE_STATISTICS 40007
#define IDC_STATISTICS_RESET_COUNTERS 40008
#define IDC_STATISTICS_SETTINGS 40009
#define IDC_STATISTICS_EXIT 40010
#define IDC_STATISTICS_DETAILS_ALL 40011
#define IDC_STATISTICS_DETAILS_LAST_MONTH 40023
#define IDC_STATISTICS_DETAILS_CURRENT_MONTH 40024
#define IDC_STATISTICS_SUM_UP 40029

/* Detailed window menu commands */
#define IDC_DETAILS_CLOSE 40013
#define IDC_DETAILS_SAVE_ALL 40014
#define IDC_DETAILS_SAVE_LAST_MONTH 40015
#define IDC_DETAILS_SAVE_CURRENT_MONTH 40016
#define IDC_DETAILS_CLEAR_ALL 40017
#define IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH 40018
#define IDC_DETAILS_CLEAR_UNTIL_LAST_MONTH 40019
#define IDC_DETAILS_SHOW_ALL 40020
#define IDC_DETAILS_SHOW_LAST_MONTH 40021
#define IDC_DETAILS_SHOW_CURRENT_MONTH 40022
#define IDC_DETAILS_SHOW_GRID 40028
/* History window */
#define IDC_DETAILS_HISTORY 40101 /* "View", "History by month" */

/* History window menu commands */
#define IDC_HISTORY_SAVE 40102
#define IDC_HISTORY_CLOSE 40103

/* Settings dialog controls */
#define IDC_SHOW_COUNTER 1000
#define IDC_CALCULATE_COST 1001
#define IDC_TARIFF_COMMON 1002
#define IDC_TARIFF_ECONOMIC 1003
#define IDC_TARIFF_WEEKEND 1004
#define IDC_LABEL_COMMON 1005
#define IDC_LABEL_ECONOMIC 1006
#define IDC_LABEL_WEEKEND 1007
#define IDC_PER_MIN_COMMON 1008
#define IDC_PER_MIN_ECONOMIC 1009
#define IDC_PER_MIN_WEEKEND 1010
#define IDC_LABEL_FROM 1011
#define IDC_COMMON_FROM 1012
#define IDC_LABEL_TO 1013
#define IDC_COMMON_TO 1014
#define IDC_AS_ECONOMIC 1015
#define IDC_HOLIDAY 1016
#define IDC_WARNINGS 1017
#define IDC_TIME_WARNING 1018
#define IDC_TIME_WARN_PER_CONN 1019
#define IDC_TIME_WARN_PER_MONTH 1020
#define IDC_COST_WARNING 1021
#define IDC_COST_WARN_PER_CONN 1022
#define IDC_COST_WARN_PER_MONTH 1023
#define IDC_TIME_LIMIT_PER_CONN 1024
#define IDC_TIME_LIMIT_PER_MONTH 1025
#define IDC_COST_LIMIT_PER_CONN 1026
#define IDC_COST_LIMIT_PER_MONTH 1027
#define IDC_LABEL_TIME_PER_CONN 1028
#define IDC_LABEL_TIME_PER_MONTH 1029
#define IDC_LABEL_COST_PER_CONN 1030
#define IDC_LABEL_COST_PER_MONTH 1031
#define IDC_OK 1032
#define IDC_CANCEL 1033
#define IDC_TARIFF_GRID 1034
#define IDC_ADD_SECONDS 1048
#define IDC_AUTO_SUM_UP 1050

/* Settings dialog: the start-day menu of the automatic Sum Up check box, one item per day (day d: IDC_START_DAY_1 + d - 1) */
#define IDC_START_DAY_1 1060
#define IDC_START_DAY_28 1087

/* About box controls */
#define IDC_ABOUT_ICON 1051
#define IDC_ABOUT_TITLE 1052
#define IDC_ABOUT_CREDIT1 1053
#define IDC_ABOUT_CREDIT2 1054

#endif
