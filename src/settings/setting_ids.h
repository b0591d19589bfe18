// The dialog controls that show the eight settings, one per key (plain C, no
// windows.h: the resource script includes it too, through resources/resource.h).
#pragma once

#define ID_Dot_count 104
#define ID_Dot_history 105
#define ID_Inertia 106
#define ID_Speed_limit 107
#define ID_Brownian 108
#define ID_Bounce 109
#define ID_Chow 110
#define ID_Starting_pos 111
