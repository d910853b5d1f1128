#pragma once

#include <cstdint>

namespace tvrn2 {

// Dispatch numbers of the browser's events, as callers of the event
// callback and the event-name table know them.
namespace BrowserEvent {
constexpr std::int32_t BeforeNavigate = 100;
constexpr std::int32_t NavigateComplete = 101;
constexpr std::int32_t StatusTextChange = 102;
constexpr std::int32_t Quit = 103;
constexpr std::int32_t DownloadComplete = 104;
constexpr std::int32_t CommandStateChange = 105;
constexpr std::int32_t DownloadBegin = 106;
constexpr std::int32_t NewWindow = 107;
constexpr std::int32_t ProgressChange = 108;
constexpr std::int32_t WindowMove = 109;
constexpr std::int32_t WindowResize = 110;
constexpr std::int32_t WindowActivate = 111;
constexpr std::int32_t PropertyChange = 112;
constexpr std::int32_t TitleChange = 113;
constexpr std::int32_t FrameBeforeNavigate = 200;
constexpr std::int32_t FrameNavigateComplete = 201;
constexpr std::int32_t FrameNewWindow = 204;
constexpr std::int32_t PrintTemplateInstantiation = 225;
constexpr std::int32_t PrintTemplateTeardown = 226;
constexpr std::int32_t UpdatePageStatus = 227;
constexpr std::int32_t BeforeNavigate2 = 250;
constexpr std::int32_t NewWindow2 = 251;
constexpr std::int32_t NavigateComplete2 = 252;
constexpr std::int32_t OnQuit = 253;
constexpr std::int32_t OnVisible = 254;
constexpr std::int32_t OnToolBar = 255;
constexpr std::int32_t OnMenuBar = 256;
constexpr std::int32_t OnStatusBar = 257;
constexpr std::int32_t OnFullScreen = 258;
constexpr std::int32_t DocumentComplete = 259;
constexpr std::int32_t OnTheaterMode = 260;
constexpr std::int32_t OnAddressBar = 261;
constexpr std::int32_t WindowSetResizable = 262;
constexpr std::int32_t WindowClosing = 263;
constexpr std::int32_t WindowSetLeft = 264;
constexpr std::int32_t WindowSetTop = 265;
constexpr std::int32_t WindowSetWidth = 266;
constexpr std::int32_t WindowSetHeight = 267;
constexpr std::int32_t ClientToHostWindow = 268;
constexpr std::int32_t SetSecureLockIcon = 269;
constexpr std::int32_t FileDownload = 270;
constexpr std::int32_t NavigateError = 271;
constexpr std::int32_t PrivacyImpactedStateChange = 272;
} // namespace BrowserEvent

// Command numbers of CommandStateChange.
constexpr std::int32_t navigateForwardCommand = 1;
constexpr std::int32_t navigateBackCommand = 2;

} // namespace tvrn2
