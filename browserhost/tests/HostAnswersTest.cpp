#include "browserhost/DocHostHandler.h"
#include "browserhost/WindowCaption.h"

#include <gtest/gtest.h>

namespace {

// The host answers without an engine: counts what the browser would be told.
class TCountingHost : public TDocHostHandler {
public:
    int announcements = 0;

protected:
    void AmbientPropertyChanged(int32_t dispId) override
    {
        EXPECT_EQ(dispId, DISPID_AMBIENT_DLCONTROL);
        ++announcements;
    }
};

} // namespace

TEST(HostOptions, FlagValuesFollowTheEnginesNumbering)
{
    EXPECT_EQ(DownloadControlValueOf(kDefaultDownloadOptions), 0x70);
    EXPECT_EQ(DownloadControlValueOf({}), 0);
    EXPECT_EQ(
        DownloadControlValueOf({ TDownloadControlOption::DLCTL_NO_SCRIPTS, TDownloadControlOption::DLCTL_OFFLINE }),
        static_cast<int32_t>(0x80000080));
    EXPECT_EQ(HostUIFlagsValueOf({ TUserInterfaceOption::NO3DBORDER }), 0x4);
    EXPECT_EQ(HostUIFlagsValueOf({ TUserInterfaceOption::DIALOG, TUserInterfaceOption::ENABLE_FORMS_AUTOCOMPLETE,
                  TUserInterfaceOption::ENABLE_INPLACE_NAVIGATION, TUserInterfaceOption::IME_ENABLE_RECONVERSION }),
        0x34001);
    TDownloadControlOptions every;
    for (int i = 0; i <= static_cast<int>(TDownloadControlOption::DLCTL_OFFLINE); ++i)
        every.Include(static_cast<TDownloadControlOption>(i));
    EXPECT_EQ(static_cast<uint32_t>(DownloadControlValueOf(every)), 0xF007FFF0u);
}

TEST(HostAnswers, AmbientAndHostInfoAnswersFollowTheOptionsAndTheEvents)
{
    TCountingHost host;
    QVariant value;
    EXPECT_EQ(host.Invoke(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, &value), S_OK);
    EXPECT_EQ(value.toInt(), 0x70);

    host.SetDownloadOptions({});
    host.SetUserInterfaceOptions({ TUserInterfaceOption::NO3DBORDER });
    EXPECT_EQ(host.announcements, 2) << "both setters tell the browser";
    EXPECT_EQ(host.Invoke(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, &value), S_OK);
    EXPECT_EQ(value.toInt(), 0);
    TDocHostUIInfo info { 0, 0, 7 };
    EXPECT_EQ(host.GetHostInfo(info), S_OK);
    EXPECT_EQ(info.cbSize, 20u);
    EXPECT_EQ(info.dwFlags, 0x4u);
    EXPECT_EQ(info.dwDoubleClick, 0u);

    // Not a property get, or another property: the application's OnInvoke, else the standard
    // ambient answers.
    EXPECT_EQ(host.Invoke(DISPID_AMBIENT_DLCONTROL, 1, &value), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(host.Invoke(DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYGET, &value), S_OK);
    EXPECT_TRUE(value.toBool());
    int invoked = 0;
    host.OnInvoke = [&](int32_t, uint16_t, QVariant*) {
        ++invoked;
        return E_NOTIMPL;
    };
    EXPECT_EQ(host.Invoke(-701, DISPATCH_PROPERTYGET, &value), E_NOTIMPL);
    EXPECT_EQ(host.Invoke(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, &value), S_OK) << "never asked";
    EXPECT_EQ(invoked, 1);

    host.OnGetHostInfo = [](TDocHostUIInfo& record) {
        record.dwFlags |= 0x8;
        return S_FALSE;
    };
    EXPECT_EQ(host.GetHostInfo(info), S_FALSE);
    EXPECT_EQ(info.dwFlags, 0xCu);
}

TEST(HostAnswers, UnassignedCallbacksGiveTheirDefaultsAndAssignedOnesDecide)
{
    TCountingHost host;
    int32_t result = 0;
    QString url;
    EXPECT_EQ(host.ShowContextMenu(0, {}), S_FALSE);
    EXPECT_EQ(host.ShowUI(0), S_FALSE);
    EXPECT_EQ(host.HideUI(), S_FALSE);
    EXPECT_EQ(host.UpdateUI(), S_FALSE);
    EXPECT_EQ(host.EnableModeless(true), S_FALSE);
    EXPECT_EQ(host.OnDocWindowActivate(true), S_FALSE);
    EXPECT_EQ(host.OnFrameWindowActivate(false), S_FALSE);
    EXPECT_EQ(host.ResizeBorder({}, false), S_FALSE);
    EXPECT_EQ(host.TranslateUrl(0, QStringLiteral("http://a/"), url), S_FALSE);
    EXPECT_EQ(host.ShowMessage(QStringLiteral("t"), QStringLiteral("c"), 0, result), S_FALSE);
    EXPECT_EQ(host.ShowHelp({}), S_OK);

    host.OnShowContextMenu = [](uint32_t, const QPoint&) { return S_OK; };
    host.OnShowMessage = [](const QString&, const QString&, int32_t, int32_t& plResult) {
        plResult = 1;
        return S_OK;
    };
    EXPECT_EQ(host.ShowContextMenu(0, {}), S_OK);
    EXPECT_EQ(host.ShowMessage(QStringLiteral("t"), QStringLiteral("c"), 0, result), S_OK);
    EXPECT_EQ(result, 1);
}

TEST(WindowCaption, TitlesOfAnyLengthMakeAShortOneLineCaption)
{
    EXPECT_EQ(ComposeCaption(QStringLiteral("Book"), QStringLiteral("Page")), QStringLiteral("Book - Page"));
    EXPECT_EQ(ComposeCaption(QString(), QStringLiteral("Two\nlines")), QStringLiteral("Untitled eBook - Two lines"));

    const QString caption = ComposeCaption(QString(4 << 20, u'B'), QString(4 << 20, u'P'));
    EXPECT_EQ(caption,
        QString(kDisplayTextLength, u'B') + u'…' + QStringLiteral(" - ") + QString(kDisplayTextLength, u'P') + u'…');

    // Characters outside the first plane take two UTF-16 units each; none is split.
    QString emoji;
    for (int i = 0; i < 300; ++i)
        emoji += QString::fromUcs4(U"\U0001F600", 1);
    const QString cut = CutForDisplay(emoji);
    EXPECT_EQ(cut, emoji.left(2 * static_cast<qsizetype>(kDisplayTextLength)) + u'…');
}
