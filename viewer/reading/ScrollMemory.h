#pragma once

#include <QHash>
#include <QPointF>
#include <QString>

#include <optional>

// Where the reader was on each page of the history, so that Back and Forward return there: the
// place each page was scrolled to when the reader left it, by address.
class TScrollMemory {
public:
    void Remember(const QString& url, const QPointF& position) { positions_[url.toLower()] = position; }
    std::optional<QPointF> Recall(const QString& url) const
    {
        const auto found = positions_.constFind(url.toLower());
        return found == positions_.constEnd() ? std::nullopt : std::optional<QPointF>(*found);
    }

private:
    // Keyed without letter case, as the history compares its addresses.
    QHash<QString, QPointF> positions_;
};
