// Process-wide values the toolkit reads and the application shell, the page
// builder and the Display set: colour settings, folders, the display area,
// the screen metrics and a few shared switches.
//
// Every getter returns a copy and every setter may be called from any
// thread; each value is guarded on its own, so a reader sees either the old
// or the new value, never a mix.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

// The 23 colour settings, as colour words 0x00BBGGRR, with the values they
// hold until the page controller applies the settings file. Field names
// follow the setting keys ("sys-menu-p-fc" is menuPressedText).
struct ColorSettings {
    Color menuBack = 0xD68A31;                // sys-menu-bc
    Color menuText = 0xFFFFFF;                // sys-menu-fc
    Color menuPressedText = 0x222222;         // sys-menu-p-fc
    Color menuPressedBack = 0xFFFFFF;         // sys-menu-p-bc
    Color keyboardBack = 0xF6BB00;            // sys-sh-bc
    Color keyboardActionBack = 0x986010;      // sys-sh-action-bc
    Color keyboardActiveBack = 0x986010;      // sys-sh-active-bc
    Color keyboardCharBack = 0x986010;        // sys-sh-ch-bc
    Color keyboardPressedBack = 0xF6BB00;     // sys-sh-p-bc
    Color keyboardInputBack = 0xEAEAEA;       // sys-sh-input-bc
    Color keyboardStaticBack = 0x5E3809;      // sys-sh-static-bc
    Color keyboardActionText = 0x00F8F8;      // sys-sh-action-fc
    Color keyboardActiveText = 0x00F8F8;      // sys-sh-actve-fc
    Color keyboardCharText = 0x00F8F8;        // sys-sh-ch-fc
    Color keyboardStaticText = 0x00F8F8;      // sys-sh-static-fc
    Color keyboardPressedText = 0x00F8F8;     // sys-sh-p-fc
    Color keyboardInputText = 0x000000;       // sys-sh-input-fc
    Color keyboardInputFirstText = 0xAFAFAF;  // sys-sh-input-first-fc
    Color labelText = 0xFFFFFF;               // sys-label-fc
    Color marqueeBack = 0x231009;             // sys-marquee-bc
    Color marqueeText = 0xABA6A9;             // sys-marquee-fc
    Color progressBar = 0x0000FF;             // sys-progress-bc
    Color tradeAverageText = 0xFFFFFF;        // sys-trade-avg-fc

    friend bool operator==(const ColorSettings&, const ColorSettings&) = default;
};

// The colours in force. To apply new ones call applyColorSettings
// (ui/default_styles.h), which also re-colours the start-up styles;
// storeColorSettings only stores them.
ColorSettings colorSettings();
void storeColorSettings(const ColorSettings& colors);

// Screen values, set once by Screen::initMetrics; the defaults are those of
// a 240x320 portrait handset. Sizes in pixels.
struct ScreenMetrics {
    int screenWidth = 240;       // the screen's width as the system reports it
    int configuredWidth = 240;   // "sys-screenw"
    int configuredHeight = 320;  // "sys-screenh"
    int shortSide = 240;
    int longSide = 320;
    bool landscape = false;
    float scale = 1.0f;  // shortSide / 240
    int baseFontSize = 14;
    int statusLineHeight = 17;
    int barFontSize = 17;  // base font size + 3, fixed at start-up
    int defaultRowCount = 12;
};

ScreenMetrics screenMetrics();
void setScreenMetrics(const ScreenMetrics& metrics);

// The part of the window in which screens are shown (half-open), kept up to
// date by the client view when its size changes; (0, 0, 240, 320) until
// it is first set.
Rect displayArea();
void setDisplayArea(const Rect& area);

// The host folder images are loaded from ("images\menu.png" lies below
// it). Empty until the client view sets it; while it is empty no image
// loads.
std::filesystem::path programFolder();
void setProgramFolder(const std::filesystem::path& folder);

// The folder the tree style puts before its image names, ending in a
// backslash: "\windows\" until the client view sets it.
CString resourceFolder();
void setResourceFolder(const CString& folder);

// True once the Display exists; StyleValues with their flag set read 0
// before. The Display sets it when it is created and clears it when it goes.
bool displayExists();
void setDisplayExists(bool exists);

// The left and right paddings of pressed styles, computed by the page
// builder from the screen width; 0 before the first page is built.
int32_t sideIndent();
void setSideIndent(int32_t indent);

// Set while the page variable "var-login" is "true"; StringItem paints the
// lines reading "委" in red while it is set.
bool loginFlag();
void setLoginFlag(bool set);

}  // namespace zq
