#include "BookAboutBox.h"

#include "AboutText.h"
#include "BookReader.h"
#include "BookText.h"
#include "FormActivation.h"
#include "StringTable.h"
#include "WindowPlacement.h"
#include "ui_BookAboutBox.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace {

constexpr int kDesignedFontPixels = 11;
constexpr int kLabelGap = 3;

QString FromBookText(const std::string& text)
{
    return QString::fromStdString(BookTextToUtf8(text));
}

} // namespace

TBookAboutBoxForm::TBookAboutBoxForm(QWidget* owner, const TBookReader& reader)
    : QDialog(owner)
    , ui(std::make_unique<Ui::BookAboutBoxForm>())
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
    QPalette memoColours = ui->DescriptionMemo->palette();
    memoColours.setColor(QPalette::Base, memoColours.color(QPalette::Window));
    ui->DescriptionMemo->setPalette(memoColours);
    for (QLabel* link : { ui->Label3, ui->Label5, ui->Label10 })
        link->installEventFilter(this);
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    ui->OkButton->setFocus();

    ui->DescriptionMemo->setPlainText(FromBookText(reader.description()));
    setWindowTitle(QString::fromLatin1(kAboutThisBook).arg(FromBookText(reader.title())));
    const QString memo = ComposeAboutMemo(ui->DescriptionMemo->toPlainText(), reader.hasAboutText(),
        FromBookText(reader.aboutText()), reader.hasAboutDate(), AboutDateText(reader.aboutDate(), QLocale()));
    // The text box breaks lines at LF; the memo's lines end with CR LF.
    ui->DescriptionMemo->setPlainText(QString(memo).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

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
