#pragma once
// The command numbers of the tray menu (109), the copy-link menus (113, 114), the chat menu (116), the moment
// menu (118) and the accelerator table (115), as WM_COMMAND carries them in the low word of wParam.

#include <cstdint>

enum Command : std::uint32_t {
    kCommand_ShowWindow = 40001,
    kCommand_Exit = 40002,
    kCommand_CopyTrackUri = 40003,
    kCommand_CopyTrackWebLink = 40004,
    kCommand_CopyStreamWebLink = 40006,
    kCommand_CopyStreamUri2 = 40007,
    kCommand_CopyStreamWebLink2 = 40008,
    kCommand_CopyStreamUri = 40009,
    kCommand_PlayClipboard = 40013,
    kCommand_MediaPlayPause = 40014,
    kCommand_MediaNext = 40015,
    kCommand_MediaPrevious = 40016,
    kCommand_MediaStop = 40017,
    kCommand_ToggleStations = 40018,
    kCommand_ToggleTracks = 40019,
    kCommand_ToggleSettings = 40020,
    kCommand_CopyPosition = 40022,
    kCommand_CopyPosition2 = 40023,
    // Skips in the show playing (Ctrl+Left, Ctrl+Right and the media keys that seek).
    kCommand_SkipBack = 40024,
    kCommand_SkipForward = 40025,
    // The playback speed of the show playing: 0.1x slower and faster (keys - and =), and the speeds of
    // menu 117, each kCommand_SpeedBase + the speed in tenths.
    kCommand_SpeedDown = 40026,
    kCommand_SpeedUp = 40027,
    kCommand_SpeedBase = 40200,
    // The sleep timer (menu 117; Ctrl+T steps through off, 15, 30 and 60 minutes and the end of the track).
    kCommand_SleepOff = 40030,
    kCommand_Sleep15 = 40031,
    kCommand_Sleep30 = 40032,
    kCommand_Sleep60 = 40033,
    kCommand_SleepEndOfTrack = 40034,
    kCommand_SleepNext = 40035,
    // Loudness levelling on or off (menu 117).
    kCommand_LevelLoudness = 40036,
    // The high-contrast option on or off (menu 117).
    kCommand_HighContrast = 40039,
    // A show of the station chooser kept for offline listening, or its offline copy forgotten (menu 114).
    kCommand_KeepOffline = 40037,
    kCommand_ForgetOffline = 40038,
    // The chat sync offset of the show playing (menu 116 and the keys [, ], Shift+[, Shift+], \).
    kCommand_ChatEarlier = 40101,
    kCommand_ChatLater = 40102,
    kCommand_ChatMuchEarlier = 40103,
    kCommand_ChatMuchLater = 40104,
    kCommand_ChatSyncReset = 40105,
    // Sync points of the show playing (menu 116).
    kCommand_ChatInStepHere = 40106,
    kCommand_ChatForgetSyncPoints = 40107,
    // Saved moments: Ctrl+B saves one; menu 118 on a moment of the station chooser.
    kCommand_SaveMoment = 40300,
    kCommand_CopyMomentUri = 40301,
    kCommand_CopyMomentWebLink = 40302,
    kCommand_ForgetMoment = 40303,
    kCommand_WriteMomentNote = 40304,
};
