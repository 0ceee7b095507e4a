#pragma once

#include <cstdint>

#include "ui/main/main_text_ids.h"

class CDialog;

// The window state the texts depend on, read at the moment of a refresh.
struct SRefreshState {
    bool connected = false;
    bool zeroSampling = false;
    bool fullSampling = false;
    std::uint16_t signalSource = 0xFFFF;
    bool factoryMode = false;
};

// Puts the loaded language's texts into the main window: caption, labels,
// buttons, notes; shows or hides the factory-only controls; rebuilds the
// signal-source list and reselects the record's code. Holds no state, so
// two refreshes in a row give the same window.
class CTextRefresh {
public:
    explicit CTextRefresh(CDialog& dlg) : m_dlg(dlg) {}

    void Refresh(const SRefreshState& state);

    // Texts the handlers also set between refreshes.
    static int ConnectTextId(bool connected) {
        return connected ? maintext::kDisconnectText : maintext::kConnectText;
    }
    static int StatusTextId(bool connected) {
        return connected ? maintext::kOnlineText : maintext::kOfflineText;
    }
    static int SampleTextId(bool sampling) {
        return sampling ? maintext::kModifyText : maintext::kReadText;
    }

private:
    void SetTexts(const SRefreshState& state);
    void ShowFactoryControls(bool factory);
    void RebuildSignalSources(std::uint16_t code);

    CDialog& m_dlg;
};
