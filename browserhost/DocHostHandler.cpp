#include "browserhost/DocHostHandler.h"

namespace {

template <typename Event, typename... Args> HRESULT AnswerOr(const Event& event, HRESULT fallback, Args&&... args)
{
    return event ? event(std::forward<Args>(args)...) : fallback;
}

} // namespace

void TDocHostHandler::SetDownloadOptions(TDownloadControlOptions options)
{
    downloadOptions_ = options;
    downloadControlValue_ = DownloadControlValueOf(options);
    AmbientPropertyChanged(DISPID_AMBIENT_DLCONTROL);
}

void TDocHostHandler::SetUserInterfaceOptions(TUserInterfaceOptions options)
{
    userInterfaceOptions_ = options;
    hostUIFlagsValue_ = HostUIFlagsValueOf(options);
    // The host-UI flags have no ambient property of their own; the browser reads them through
    // GetHostInfo when it is told that the download control changed.
    AmbientPropertyChanged(DISPID_AMBIENT_DLCONTROL);
}

HRESULT TDocHostHandler::ShowContextMenu(uint32_t dwID, const QPoint& ppt)
{
    return AnswerOr(OnShowContextMenu, S_FALSE, dwID, ppt);
}

HRESULT TDocHostHandler::GetHostInfo(TDocHostUIInfo& pInfo)
{
    pInfo.cbSize = 20;
    pInfo.dwFlags = static_cast<uint32_t>(hostUIFlagsValue_);
    pInfo.dwDoubleClick = 0;
    return AnswerOr(OnGetHostInfo, S_OK, pInfo);
}

HRESULT TDocHostHandler::ShowUI(uint32_t dwID)
{
    return AnswerOr(OnShowUI, S_FALSE, dwID);
}

HRESULT TDocHostHandler::HideUI()
{
    return AnswerOr(OnHideUI, S_FALSE);
}

HRESULT TDocHostHandler::UpdateUI()
{
    return AnswerOr(OnUpdateUI, S_FALSE);
}

HRESULT TDocHostHandler::EnableModeless(bool fEnable)
{
    return AnswerOr(OnEnableModeless, S_FALSE, fEnable);
}

HRESULT TDocHostHandler::OnDocWindowActivate(bool fActivate)
{
    return AnswerOr(OnOnDocWindowActivate, S_FALSE, fActivate);
}

HRESULT TDocHostHandler::OnFrameWindowActivate(bool fActivate)
{
    return AnswerOr(OnOnFrameWindowActivate, S_FALSE, fActivate);
}

HRESULT TDocHostHandler::ResizeBorder(const QRect& prcBorder, bool fRameWindow)
{
    return AnswerOr(OnResizeBorder, S_FALSE, prcBorder, fRameWindow);
}

HRESULT TDocHostHandler::TranslateAccelerator(const QKeyEvent& lpMsg)
{
    return AnswerOr(OnTranslateAccelerator, S_FALSE, lpMsg);
}

HRESULT TDocHostHandler::TranslateUrl(uint32_t dwTranslate, const QString& pchURLIn, QString& ppchURLOut)
{
    return AnswerOr(OnTranslateUrl, S_FALSE, dwTranslate, pchURLIn, ppchURLOut);
}

HRESULT TDocHostHandler::ShowMessage(
    const QString& lpstrText, const QString& lpstrCaption, int32_t dwType, int32_t& plResult)
{
    return AnswerOr(OnShowMessage, S_FALSE, lpstrText, lpstrCaption, dwType, plResult);
}

HRESULT TDocHostHandler::ShowHelp(const QPoint& ptMouse)
{
    return AnswerOr(OnShowHelp, S_OK, ptMouse);
}

HRESULT TDocHostHandler::Invoke(int32_t DispID, uint16_t Flags, QVariant* VarResult)
{
    if ((Flags & DISPATCH_PROPERTYGET) != 0 && VarResult != nullptr && DispID == DISPID_AMBIENT_DLCONTROL) {
        *VarResult = QVariant(downloadControlValue_);
        return S_OK;
    }
    if (OnInvoke)
        return OnInvoke(DispID, Flags, VarResult);
    return StandardAmbient(DispID, Flags, VarResult);
}

HRESULT TDocHostHandler::StandardAmbient(int32_t DispID, uint16_t Flags, QVariant* VarResult)
{
    if ((Flags & DISPATCH_PROPERTYGET) != 0 && VarResult != nullptr && DispID == DISPID_AMBIENT_USERMODE) {
        *VarResult = QVariant(true);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}
