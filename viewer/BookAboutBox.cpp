#include "viewer/BookAboutBox.h"

#include "browserhost/WindowCaption.h"
#include "resources/StringTable.h"
#include "sources/BookSource.h"
#include "ui_BookAboutBox.h"
#include "viewer/AboutText.h"
#include "viewer/FormActivation.h"
#include "viewer/WindowPlacement.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QUrl>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

namespace {

constexpr int kDesignedFontPixels = 11;
constexpr int kLabelGap = 3;

// "an EPUB", "a folder of pages".
std::string AboutKindName(const std::string& kind)
{
    if (kind == "folder")
        return "a folder of pages";
    if (kind == "EPUB")
        return "an EPUB";
    return "a " + kind + " file";
}

} // namespace

TBookAboutBoxForm::TBookAboutBoxForm(QWidget* owner, const TBookSource& source)
    : QDialog(owner)
    , ui(std::make_unique<Ui::BookAboutBoxForm>())
{
    Design();
    const QString description
        = CutForDisplay(QString::fromStdString(source.Description()), kDisplayDescriptionLength, LineBreaks::Keep);
    if (const std::optional<TBookAbout> own = source.About()) {
        // A book file's header: its own about text and date.
        ShowBook(QString::fromStdString(source.Title()),
            ComposeAboutMemo(description, own->text.has_value(),
                CutForDisplay(QString::fromStdString(own->text.value_or(std::string())), kDisplayDescriptionLength,
                    LineBreaks::Keep),
                own->date.has_value(), own->date ? AboutDateText(*own->date, QLocale()) : QString()));
        return;
    }
    // What the source's metadata tells; the about text says what was opened.
    std::string about = "Read in place from " + AboutKindName(source.KindName());
    if (!source.Language().empty())
        about += ". Language: " + source.Language();
    ShowBook(QString::fromStdString(source.Title()),
        ComposeAboutMemo(description, true, QString::fromStdString(about), false, {}));
}

void TBookAboutBoxForm::Design()
{
    ui->setupUi(this);
    TFormActivation::MarkAsViewerForm(*this);
    // The layout is drawn for an 11-pixel font; the desktop's own face at that size keeps it.
    QFont designed = font();
    designed.setPixelSize(kDesignedFontPixels);
    setFont(designed);
    // An address follows its "e-mail:" label however wide the face draws that.
    for (auto [label, address] : { std::pair { ui->Label4, ui->Label5 }, std::pair { ui->Label9, ui->Label10 } }) {
        const int after = label->x() + label->sizeHint().width() + kLabelGap;
        if (address->x() < after)
            address->move(after, address->y());
        label->resize(label->sizeHint().width(), label->height());
    }
    // A dialog border: not resizable, no minimize or maximize buttons.
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    ui->Label2->setText(QStringLiteral("Made with ebook-pack %1").arg(QStringLiteral(EBOOK_VERSION)));
    // The publisher block names what shows the book, with versions a bug report needs; the
    // project has no postal, telephone or mail address of its own, so the mail rows stay hidden
    // and the link leads to the engine's documentation.
    ui->Label6->setText(QStringLiteral("eBook viewer %1").arg(QStringLiteral(EBOOK_VERSION)));
    // The engine's major version is what tells its features; the full one does not fit the line.
    const QString chromium = QString::fromLatin1(qWebEngineChromiumVersion()).section(QLatin1Char('.'), 0, 0);
    ui->Label7->setText(
        QStringLiteral("Qt WebEngine %1 (Chromium %2)").arg(QString::fromLatin1(qWebEngineVersion()), chromium));
    ui->Label8->setText(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())));
    for (QLabel* mailRow : { ui->Label4, ui->Label5, ui->Label9, ui->Label10 })
        mailRow->hide();
    QPalette memoColours = ui->DescriptionMemo->palette();
    memoColours.setColor(QPalette::Base, memoColours.color(QPalette::Window));
    ui->DescriptionMemo->setPalette(memoColours);
    for (QLabel* link : { ui->Label3, ui->Label5, ui->Label10 })
        link->installEventFilter(this);
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    ui->OkButton->setFocus();
}

void TBookAboutBoxForm::ShowBook(const QString& title, const QString& memo)
{
    setWindowTitle(QString::fromLatin1(kAboutThisBook).arg(CutForDisplay(title)));
    // The text box breaks lines at LF; the memo's lines end with CR LF.
    ui->DescriptionMemo->setPlainText(QString(memo).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // A book that says nothing about itself (as one built from a bare folder) shows no empty
    // box: what stands below the text moves up into its place.
    if (memo.trimmed().isEmpty()) {
        const int freed = ui->LogoImage->y() - ui->DescriptionMemo->y();
        ui->DescriptionMemo->hide();
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != ui->DescriptionMemo)
                child->move(child->x(), child->y() - freed);
        }
        setFixedSize(width(), height() - freed);
    }
    placement_ = new TWindowPlacement(*this);
    placement_->CentreOn(TWindowPlacement::Centre::VirtualDesktop);
}

TBookAboutBoxForm::~TBookAboutBoxForm() = default;

void TBookAboutBoxForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shownBefore_) {
        shownBefore_ = true;
        placement_->FirstShown();
    }
}

void TBookAboutBoxForm::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc both press the Ok button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ui->OkButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TBookAboutBoxForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (auto* label = qobject_cast<QLabel*>(watched)) {
            LabelsClick(*label);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TBookAboutBoxForm::LabelsClick(const QLabel& label)
{
    QString target = label.text();
    if (label.property("tag").toInt() != 0)
        target.prepend(QStringLiteral("mailto:"));
    QDesktopServices::openUrl(QUrl(target));
}
