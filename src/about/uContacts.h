#pragma once
// The maker's contact lines. The About window and the main window's link strip both read them
// from here, so a change of address is made once.

inline constexpr char KaVruneCompanyName[] = "kaVRUNE s.r.o.";
inline constexpr char KaVruneMail[] = "info@kavrune.example";
inline constexpr char KaVrunePhone[] = "+420 000 000 000";
// Shown as text; KaVruneWebUrl is what opens.
inline constexpr char KaVruneWebAddress[] = "www.kavrune.example";
inline constexpr char KaVruneWebUrl[] = "https://www.kavrune.example/";
