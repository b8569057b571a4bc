// SPDX-License-Identifier: MIT
#pragma once
// Reads the history on a thread of its own, so that a window never waits
// for it: opening a shared database that does not answer takes seconds,
// and the first listing of a long history a good part of one. The store
// lives and dies on that thread (a connection belongs to the thread that
// opened it); answers come back on the thread of the reader.
//
// A reader that is destroyed does not wait for its thread: the thread
// ends after the question it is on, and the application waits for it
// when it ends.

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace quill {

class HistoryReader final : public QObject {
    Q_OBJECT

  public:
    // Starts opening the history at once.
    explicit HistoryReader(const HistoryLocation& where, QObject* parent = nullptr);
    ~HistoryReader() override;

    // Asks the store for its changes (HistoryStore::changes); answered by
    // changed() or failed(). One question at a time: false, and nothing
    // asked, while one is out or after the history could not be opened.
    bool ask(int64_t afterId, std::vector<int64_t> watched);
    // Asks for every attempt in `order`, sorted by the database; answered
    // by listed() or failed(), one question at a time as above.
    bool askListing(HistoryOrder order);

  signals:
    void changed(const std::vector<Attempt>& attempts);
    void listed(const std::vector<Attempt>& attempts, HistoryOrder order);
    void failed(const HistoryError& error);

  private:
    struct Question {
        int64_t afterId = 0;
        std::vector<int64_t> watched;
        std::optional<HistoryOrder> listing; // or the changes
    };
    struct Shared;
    bool put(Question question);
    // The thread: opens the store, then answers questions until the reader
    // is gone.
    static void serve(Shared& shared, const HistoryLocation& where);

    std::shared_ptr<Shared> m_shared;
    bool m_asking = false;
    bool m_closed = false;
};

} // namespace quill
