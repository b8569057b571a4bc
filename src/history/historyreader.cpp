// SPDX-License-Identifier: MIT
#include "history/historyreader.h"

#include "history/historystore.h"

#include <QThreadPool>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace quill {

namespace {

// Held while work is handed to Qt for another thread, and taken first by
// the work when it runs there: what was handed over is then seen as made
// before, by a thread checker too, which cannot see the locks inside Qt.
std::mutex handOver;

} // namespace

// What the reader and its thread share, under the mutex.
struct HistoryReader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    HistoryReader* owner = nullptr; // none once the reader is gone
    std::optional<Question> question;
};

HistoryReader::HistoryReader(const HistoryLocation& where, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
    // The application's pool: QCoreApplication waits for its threads when
    // it ends, so a thread still on a question cannot outlive Qt SQL.
    const std::lock_guard handing(handOver);
    QThreadPool::globalInstance()->start([shared = m_shared, where] {
        { const std::lock_guard taken(handOver); }
        serve(*shared, where);
    });
}

HistoryReader::~HistoryReader() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->wake.notify_all();
}

bool HistoryReader::ask(int64_t afterId, std::vector<int64_t> watched) {
    return put({afterId, std::move(watched), std::nullopt});
}

bool HistoryReader::askListing(HistoryOrder order) {
    return put({0, {}, order});
}

bool HistoryReader::put(Question question) {
    if (m_asking || m_closed) {
        return false;
    }
    m_asking = true;
    std::lock_guard lock(m_shared->mutex);
    m_shared->question = std::move(question);
    m_shared->wake.notify_all();
    return true;
}

void HistoryReader::serve(Shared& shared, const HistoryLocation& where) {
    // Runs `deliver` on the reader's thread, if there still is a reader. A
    // call posted to a reader that is destroyed before it runs is dropped
    // with it.
    const auto post = [&shared](auto deliver) {
        std::lock_guard lock(shared.mutex);
        if (shared.owner != nullptr) {
            const std::lock_guard handing(handOver);
            QMetaObject::invokeMethod(
                shared.owner,
                [owner = shared.owner, deliver = std::move(deliver)] {
                    { const std::lock_guard taken(handOver); }
                    deliver(*owner);
                },
                Qt::QueuedConnection);
        }
    };
    auto store = HistoryStore::open(where);
    if (!store) {
        post([error = store.error()](HistoryReader& reader) {
            reader.m_closed = true;
            reader.m_asking = false;
            emit reader.failed(error);
        });
        return;
    }
    for (;;) {
        std::unique_lock lock(shared.mutex);
        shared.wake.wait(lock, [&] { return shared.owner == nullptr || shared.question; });
        if (shared.owner == nullptr) {
            return;
        }
        const Question question = std::move(*shared.question);
        shared.question.reset();
        lock.unlock();
        HistoryFilter all;
        all.order = question.listing.value_or(HistoryOrder{});
        auto answer = question.listing ? (*store)->query(all)
                                       : (*store)->changes(question.afterId, question.watched);
        post([answer = std::move(answer), listing = question.listing](HistoryReader& reader) {
            reader.m_asking = false;
            if (answer && listing) {
                emit reader.listed(*answer, *listing);
            } else if (answer) {
                emit reader.changed(*answer);
            } else {
                emit reader.failed(answer.error());
            }
        });
    }
}

} // namespace quill
