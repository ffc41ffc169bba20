#pragma once

#include "browserhost/BrowserOptions.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>

class QKeyEvent;
class QObject;
class QWidget;

// Result codes of the host answers, with the values the browser expects.
using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);

// The ambient property through which the browser asks what it may download.
inline constexpr int32_t DISPID_AMBIENT_DLCONTROL = -5512;
// The ambient property that tells a control it runs for a user, not in a designer.
inline constexpr int32_t DISPID_AMBIENT_USERMODE = -709;
// The bit of an ambient request's flags that marks a property get.
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;

// The record the browser asks the host to fill before it draws.
struct TDocHostUIInfo {
    uint32_t cbSize = 0;
    uint32_t dwFlags = 0;
    uint32_t dwDoubleClick = 0;
};

using TShowContextMenuEvent = std::function<HRESULT(uint32_t dwID, const QPoint& ppt)>;
using TGetHostInfoEvent = std::function<HRESULT(TDocHostUIInfo& pInfo)>;
using TShowUIEvent = std::function<HRESULT(uint32_t dwID)>;
using THostNotifyEvent = std::function<HRESULT()>;
using THostToggleEvent = std::function<HRESULT(bool fActivate)>;
using TResizeBorderEvent = std::function<HRESULT(const QRect& prcBorder, bool fRameWindow)>;
using TTranslateAcceleratorEvent = std::function<HRESULT(const QKeyEvent& lpMsg)>;
using TTranslateUrlEvent = std::function<HRESULT(uint32_t dwTranslate, const QString& pchURLIn, QString& ppchURLOut)>;
using TShowMessageEvent
    = std::function<HRESULT(const QString& lpstrText, const QString& lpstrCaption, int32_t dwType, int32_t& plResult)>;
using TShowHelpEvent = std::function<HRESULT(const QPoint& ptMouse)>;
using TInvokeEvent = std::function<HRESULT(int32_t DispID, uint16_t Flags, QVariant* VarResult)>;
using TCloseQueryEvent = std::function<void(QObject* Sender, bool& CanClose)>;
using TShowDialogEvent = std::function<void(QObject* Sender, QWidget* h)>;

// The host side of the browser: the options that decide what it downloads and how it draws, and
// the answer to each host callback. An assigned event decides the answer; an unassigned one gives
// the default answer written beside it. The browser engine here asks some of these questions
// itself (context menu, script dialogs, keys, close requests, window activation, resizing); the
// option answers are read back through the same calls whenever the options change, so an
// application that overrides an answer overrides what the engine is told.
//
// Callbacks whose questions this engine never asks (where its registry options live, drop
// targets, the external object, data-object filtering, type information and services) have no
// member here.
class TDocHostHandler {
public:
    virtual ~TDocHostHandler() = default;

    TDownloadControlOptions DownloadOptions() const { return downloadOptions_; }
    TUserInterfaceOptions UserInterfaceOptions() const { return userInterfaceOptions_; }
    // Both setters store the set, recompute its value and announce the download-control ambient
    // property; the browser re-reads both answers.
    void SetDownloadOptions(TDownloadControlOptions options);
    void SetUserInterfaceOptions(TUserInterfaceOptions options);
    int32_t DownloadControlValue() const { return downloadControlValue_; }
    int32_t HostUIFlagsValue() const { return hostUIFlagsValue_; }

    // The answers. Unassigned defaults: S_FALSE for ShowContextMenu (the browser's own menu),
    // ShowUI, HideUI, UpdateUI, EnableModeless, the two window activations, ResizeBorder,
    // TranslateAccelerator, TranslateUrl and ShowMessage; S_OK for GetHostInfo
    // (after the record is filled) and ShowHelp.
    HRESULT ShowContextMenu(uint32_t dwID, const QPoint& ppt);
    HRESULT GetHostInfo(TDocHostUIInfo& pInfo);
    HRESULT ShowUI(uint32_t dwID);
    HRESULT HideUI();
    HRESULT UpdateUI();
    HRESULT EnableModeless(bool fEnable);
    HRESULT OnDocWindowActivate(bool fActivate);
    HRESULT OnFrameWindowActivate(bool fActivate);
    HRESULT ResizeBorder(const QRect& prcBorder, bool fRameWindow);
    HRESULT TranslateAccelerator(const QKeyEvent& lpMsg);
    HRESULT TranslateUrl(uint32_t dwTranslate, const QString& pchURLIn, QString& ppchURLOut);
    HRESULT ShowMessage(const QString& lpstrText, const QString& lpstrCaption, int32_t dwType, int32_t& plResult);
    HRESULT ShowHelp(const QPoint& ptMouse);
    // An ambient property request. A property get of the download-control property is answered
    // with DownloadControlValue; anything else goes to OnInvoke, or else to StandardAmbient.
    HRESULT Invoke(int32_t DispID, uint16_t Flags, QVariant* VarResult);

    TShowContextMenuEvent OnShowContextMenu;
    TGetHostInfoEvent OnGetHostInfo;
    TShowUIEvent OnShowUI;
    THostNotifyEvent OnHideUI;
    THostNotifyEvent OnUpdateUI;
    THostToggleEvent OnEnableModeless;
    THostToggleEvent OnOnDocWindowActivate;
    THostToggleEvent OnOnFrameWindowActivate;
    TResizeBorderEvent OnResizeBorder;
    TTranslateAcceleratorEvent OnTranslateAccelerator;
    TTranslateUrlEvent OnTranslateUrl;
    TShowMessageEvent OnShowMessage;
    TShowHelpEvent OnShowHelp;
    TInvokeEvent OnInvoke;
    TCloseQueryEvent OnCloseQuery;
    TShowDialogEvent OnShowDialog;

protected:
    // Tells the browser that an ambient property changed, so that it asks again.
    virtual void AmbientPropertyChanged(int32_t dispId) = 0;
    // The answers a control host gives to ambient requests nobody else answered: it runs for a
    // user; every other property is unknown.
    virtual HRESULT StandardAmbient(int32_t DispID, uint16_t Flags, QVariant* VarResult);

private:
    TDownloadControlOptions downloadOptions_ = kDefaultDownloadOptions;
    TUserInterfaceOptions userInterfaceOptions_;
    int32_t downloadControlValue_ = DownloadControlValueOf(kDefaultDownloadOptions);
    int32_t hostUIFlagsValue_ = 0;
};
