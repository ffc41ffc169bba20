#include "viewer/reading/KeysDialog.h"

#include "viewer/reading/KeysTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

TKeysDialog::TKeysDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("KeysDialog"));
    setWindowTitle(tr("Keys"));
    const std::vector<TKeyRow> rows = KeyRows(parent->actions());
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    table->setObjectName(QStringLiteral("KeysTable"));
    table->setHorizontalHeaderLabels({ tr("Keys"), tr("What they do") });
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        table->setItem(i, 0, new QTableWidgetItem(rows[static_cast<std::size_t>(i)].keys));
        table->setItem(i, 1, new QTableWidgetItem(rows[static_cast<std::size_t>(i)].action));
    }
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->resizeColumnToContents(0);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Nothing is written: what the reader chooses ends with the run, and this says how to keep it.
    auto* settings = new QLabel(tr("Settings last for this run only: the viewer writes nothing and remembers "
                                   "nothing. To start with your own fonts, colours and margins every time, give "
                                   "a style sheet: <tt>ebook --reading-style FILE.css BOOK</tt>, or set "
                                   "<tt>EBOOK_READING_STYLE=FILE.css</tt> in the environment."),
        this);
    settings->setObjectName(QStringLiteral("SettingsNote"));
    settings->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(680, 520);
}
