// The numbers of the skin's pictures and page texts, as the resource files and language packs
// name them (resources/images/N.png, resources/rtf/N.rtf); the pages name them by these only.
#pragma once

namespace sondrel {

// Page backgrounds, 800 x 500.
inline constexpr int kPicturePagePlain = 203;
inline constexpr int kPicturePageBand = 205;  // middle band and red cross
inline constexpr int kPicturePageMeter = 206;
inline constexpr int kPicturePageMeterGain = 207;  // wider meter panel with the GAIN label

// Buttons, each normal and pressed.
inline constexpr int kPictureBack = 200;
inline constexpr int kPictureBackPressed = 199;
inline constexpr int kPictureNext = 211;
inline constexpr int kPictureNextPressed = 210;
inline constexpr int kPictureRecord = 215;
inline constexpr int kPictureRecordPressed = 214;
inline constexpr int kPictureNewTrack = 209;
inline constexpr int kPictureNewTrackPressed = 208;
inline constexpr int kPictureTapeType = 213;
inline constexpr int kPictureTapeTypeChosen = 212;
inline constexpr int kPictureFinishedAction = 252;
inline constexpr int kPictureFinishedActionPressed = 251;
inline constexpr int kPictureTool = 255;  // the track page's tools
inline constexpr int kPictureToolPressed = 256;
// The close button is a bitmap that repeats the title band under it.
inline constexpr int kBitmapClose = 216;
inline constexpr int kBitmapClosePressed = 217;

// Page texts: titles, instructions and labels.
inline constexpr int kTextWelcome = 218;
inline constexpr int kTextGetConnected = 219;
inline constexpr int kTextGetReady = 221;
inline constexpr int kTextPressRecord = 222;
inline constexpr int kTextSplitLabel = 223;
inline constexpr int kTextRecording = 224;
inline constexpr int kTextPressNextWhenDone = 225;
inline constexpr int kTextRecordingTimeLabel = 226;
inline constexpr int kTextRecordingTrackLabel = 227;
inline constexpr int kTextTagTrack = 228;
inline constexpr int kTextAlbumLabel = 229;
inline constexpr int kTextArtistLabel = 230;
inline constexpr int kTextEnterTrackTags = 231;
inline constexpr int kTextTrackLabel = 232;
inline constexpr int kTextTrackTitleLabel = 233;
inline constexpr int kTextTagTracks = 234;
inline constexpr int kTextEnterAlbumTags = 235;
inline constexpr int kTextPleaseWaitExporting = 236;
inline constexpr int kTextExport = 237;
inline constexpr int kTextWhatNow = 239;
inline constexpr int kTextRecordingComplete = 240;
inline constexpr int kTextSelectDeviceType = 241;
inline constexpr int kTextTurntable = 242;
inline constexpr int kTextTapePlayer = 243;
inline constexpr int kTextSelectTapeType = 244;
inline constexpr int kTextTagMoreTracks = 245;
inline constexpr int kTextEnterMoreTitles = 246;
inline constexpr int kTextSupportPage = 249;
inline constexpr int kTextSaveLocation = 250;
inline constexpr int kTextCheckTracks = 253;

}  // namespace sondrel
