// SPDX-License-Identifier: MIT
#include "ui/stationgrid.h"

#include "ui/stationtile.h"

#include <QGridLayout>
#include <QResizeEvent>

#include <algorithm>

namespace quill {

namespace {

// The shape a tile reads best in: its lines one under another.
constexpr double tileAspect = 4.0 / 3.0;

} // namespace

StationGrid::StationGrid(QWidget* parent) : QWidget(parent), m_grid(new QGridLayout(this)) {
    m_grid->setContentsMargins(0, 0, 0, 0);
}

int StationGrid::columnsFor(int count, QSize room) {
    int best = 1;
    double bestSize = 0;
    for (int columns = 1; columns <= std::max(count, 1); ++columns) {
        const int rows = (count + columns - 1) / columns;
        const double width = static_cast<double>(room.width()) / columns;
        const double height = static_cast<double>(room.height()) / std::max(rows, 1);
        // The largest tile of its shape that fits the cell.
        const double size = std::min(width, height * tileAspect);
        if (size > bestSize) {
            best = columns;
            bestSize = size;
        }
    }
    return best;
}

void StationGrid::setTiles(const std::vector<StationTile*>& tiles) {
    for (StationTile* tile : m_tiles) {
        delete tile;
    }
    m_tiles = tiles;
    for (StationTile* tile : m_tiles) {
        tile->setParent(this);
        tile->show();
    }
    m_columns = 0;
    place(columnsFor(static_cast<int>(m_tiles.size()), size()));
}

void StationGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place(columnsFor(static_cast<int>(m_tiles.size()), event->size()));
}

void StationGrid::place(int columns) {
    if (columns == m_columns) {
        return;
    }
    for (StationTile* tile : m_tiles) {
        m_grid->removeWidget(tile);
    }
    for (int c = 0; c < std::max(m_columns, columns); ++c) {
        m_grid->setColumnStretch(c, c < columns ? 1 : 0);
    }
    const int rows = (static_cast<int>(m_tiles.size()) + columns - 1) / columns;
    for (int r = 0; r < std::max(rows, m_grid->rowCount()); ++r) {
        m_grid->setRowStretch(r, r < rows ? 1 : 0);
    }
    m_columns = columns;
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        m_grid->addWidget(m_tiles[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    }
}

} // namespace quill
