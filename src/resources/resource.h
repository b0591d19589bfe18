// Resource identifiers, shared by the resource script and the code (plain C, no windows.h).
#pragma once

#define ID_ConfigDlg 100
#define ID_OK 101
#define ID_Cancel 102
#define ID_About 103
#define ID_Dot_count 104
#define ID_Dot_history 105
#define ID_Inertia 106
#define ID_Speed_limit 107
#define ID_Brownian 108
#define ID_Bounce 109
#define ID_Chow 110
#define ID_Starting_pos 111
