#include "viewer/reading/KeysDialog.h"

#include "viewer/reading/KeysTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(680, 520);
}
