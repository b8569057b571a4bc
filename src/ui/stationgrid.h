// SPDX-License-Identifier: MIT
#pragma once
// The station window's tiles, laid out to fill the room they have: as many
// columns as make the tiles largest in the width and height there is, the
// tiles stretched to fill it. Below a tile's least size the rows scroll.

#include <QWidget>

#include <vector>

class QGridLayout;

namespace quill {

class StationTile;

class StationGrid final : public QWidget {
    Q_OBJECT

  public:
    explicit StationGrid(QWidget* parent = nullptr);

    // The tiles, in order; the grid owns them.
    void setTiles(const std::vector<StationTile*>& tiles);
    int columns() const { return m_columns; }
    // The columns that fit `count` tiles of about 4:3 largest into `room`.
    static int columnsFor(int count, QSize room);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place(int columns);

    QGridLayout* m_grid;
    std::vector<StationTile*> m_tiles;
    int m_columns = 0;
};

} // namespace quill
