// SPDX-License-Identifier: MIT
// One station of the place test, as a process of its own: asks for a place
// in ORDER for each of N units of its own, and prints how many it got.
//
//     quill-test-placetaker HISTORY ORDER STATION N

#include "history/historylocation.h"
#include "recipe/recipestore.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        return 2;
    }
    const std::string order = argv[2];
    const std::string station = argv[3];
    const auto where = quill::historyAt(argv[1]);
    auto store = where ? quill::RecipeStore::open(*where)
                       : quill::HistoryResult<std::unique_ptr<quill::RecipeStore>>(where.error());
    if (!store) {
        std::fprintf(stderr, "%s\n", store.error().text().c_str());
        return 1;
    }
    int taken = 0;
    for (int unit = 0; unit < std::stoi(argv[4]); ++unit) {
        const std::string key = station + "-unit-" + std::to_string(unit);
        const auto answer = (*store)->takePlace(order, key, key + "-attempt-1", station);
        if (!answer) {
            std::fprintf(stderr, "%s\n", answer.error().text().c_str());
            return 1;
        }
        taken += *answer == quill::PlaceAnswer::Taken ? 1 : 0;
    }
    std::printf("%d\n", taken);
    return 0;
}
