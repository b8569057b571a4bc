// SPDX-License-Identifier: MIT
// A run of a recipe or a work order: the recipe found in the history's
// database before anything is planned, the order looked at before any port
// is touched, and each unit's place in the order taken just before its
// device hears its first byte, kept when it completes, given back when not.
#include "runner/runner.h"

#include "history/historylocation.h"
#include "runner/reciperun.h"
#include "runner/runnertexts.h"

namespace quill {

// Finds the recipe (an order's own), refuses what cannot run, and puts
// what the recipe fixes into the request.
std::optional<Outcome> Runner::takeRecipe() {
    if (m_request.recipe.empty() && m_request.workOrder.empty()) {
        return std::nullopt;
    }
    const auto problem = [this](const std::string& text) {
        say(text, RunnerView::Said::Problem);
        return Outcome::Usage;
    };
    const auto noHistory = [this](const HistoryError& error) {
        show(error.text() + '\r' + text::RecipesNeedHistory);
        return Outcome::HistoryFailed;
    };
    if (!m_request.recipe.empty() && !m_request.workOrder.empty()) {
        return problem(text::RecipeAndOrder);
    }
    std::optional<RecipeRef> ref;
    if (!m_request.recipe.empty()) {
        ref = recipeRefFromText(m_request.recipe);
        if (!ref) {
            return problem(text::BadRecipeName + m_request.recipe);
        }
    }
    const auto where = historyLocation(m_settings, m_request.historyUrl);
    if (!where) {
        return noHistory(where.error());
    }
    auto opened = RecipeStore::open(*where);
    if (!opened) {
        return noHistory(opened.error());
    }
    m_recipes = std::move(*opened);
    if (!m_request.workOrder.empty()) {
        auto order = m_recipes->order(m_request.workOrder);
        if (!order) {
            return noHistory(order.error());
        }
        if (!*order) {
            return problem(text::NoSuchOrder + m_request.workOrder + text::InTheOrders);
        }
        if ((*order)->state == OrderState::Closed) {
            return problem(text::WorkOrder + m_request.workOrder + text::OrderClosed);
        }
        m_order = std::move(**order);
        ref = RecipeRef{m_order->recipeName, m_order->recipeVersion};
    }
    if (const auto refused = findRecipe(*ref)) {
        return refused;
    }
    const std::vector<std::string> differing = applyRecipe(m_request, *m_recipe);
    for (const std::string& text : differing) {
        say(text, RunnerView::Said::Problem);
    }
    if (!differing.empty()) {
        return Outcome::Usage;
    }
    m_firmware = std::make_shared<const std::vector<uint8_t>>(std::move(m_recipe->firmware));
    m_recipe->firmware.clear();
    return std::nullopt;
}

// The recipe as the history holds it, its bytes checked against its
// SHA-256 by the store; a retired version names the released one.
std::optional<Outcome> Runner::findRecipe(const RecipeRef& ref) {
    auto found = m_recipes->find(ref);
    if (!found) {
        show(found.error().text() + '\r' + text::RecipesNeedHistory);
        return Outcome::HistoryFailed;
    }
    const std::string named =
        ref.version ? ref.name + '@' + std::to_string(*ref.version) : ref.name;
    if (!*found) {
        say((ref.version ? text::NoSuchRecipe : text::NoReleasedRecipe) + named +
                text::InTheHistory,
            RunnerView::Said::Problem);
        return Outcome::Usage;
    }
    if ((*found)->state == RecipeState::Retired) {
        auto released = m_recipes->find(RecipeRef{ref.name, std::nullopt});
        const Recipe* newest = released && *released ? &**released : nullptr;
        say(retiredProblem(**found, newest), RunnerView::Said::Problem);
        return Outcome::Usage;
    }
    m_recipe = std::move(**found);
    return std::nullopt;
}

// An order with no place left runs nothing: no port is touched.
std::optional<Outcome> Runner::checkOrder() {
    if (!m_order) {
        return std::nullopt;
    }
    auto now = m_recipes->order(m_order->name);
    if (!now || !*now) {
        return std::nullopt; // each unit's place says it
    }
    if ((*now)->state == OrderState::Closed) {
        say(text::WorkOrder + m_order->name + text::OrderClosed, RunnerView::Said::Error);
        return Outcome::OrderComplete;
    }
    if ((*now)->remaining() <= 0) {
        say(orderFullText(**now), RunnerView::Said::Error);
        return Outcome::OrderComplete;
    }
    return std::nullopt;
}

// On this thread, asked by a device's just before its first byte. Taken
// now, and not once the device has answered: a unit refused after its
// erase request would be left erased. Many stations may ask at once; the
// store's one statement gives no more places than the order has.
std::optional<Outcome> Runner::takePlace(size_t index) {
    DeviceReport& d = m_report.devices[index];
    if (d.ended() || m_report.signal != 0) {
        return Outcome::Interrupted;
    }
    const auto refuse = [&](Outcome outcome, const std::string& why) {
        refuseUnit(index, why);
        return outcome;
    };
    const Attempt attempt = m_keeper.attemptFor(m_rows[index], d);
    const auto answer = m_recipes->takePlace(m_order->name, d.unitKey, attempt.key, stationName());
    if (!answer) {
        return refuse(Outcome::HistoryFailed,
                      answer.error().text() + '\r' + text::RecipesNeedHistory);
    }
    switch (*answer) {
    case PlaceAnswer::Taken:
        m_placeHeld[index] = true;
        return std::nullopt;
    case PlaceAnswer::Full: {
        const auto now = m_recipes->order(m_order->name);
        WorkOrder order = now && *now ? **now : *m_order;
        return refuse(Outcome::OrderComplete, orderFullText(order) + '\r' + text::UnitNotBegun);
    }
    case PlaceAnswer::Closed:
        return refuse(Outcome::OrderComplete, text::WorkOrder + m_order->name + text::OrderClosed +
                                                  '\r' + text::UnitNotBegun);
    case PlaceAnswer::NoOrder:
        break;
    }
    return refuse(Outcome::OrderComplete, text::NoSuchOrder + m_order->name + text::InTheOrders +
                                              '\r' + text::UnitNotBegun);
}

// A unit that ended gives its place back, unless it completed: whatever
// became of its row in the history, the order counts what the devices got.
void Runner::settlePlace(size_t index) {
    if (index >= m_placeHeld.size() || !m_placeHeld[index]) {
        return;
    }
    m_placeHeld[index] = false;
    const DeviceReport& d = m_report.devices[index];
    const HistoryStatus failed = d.outcome == Outcome::Complete
                                     ? m_recipes->keepPlace(m_order->name, d.unitKey)
                                     : m_recipes->givePlace(m_order->name, d.unitKey);
    if (failed) {
        say(text::PlaceNotSettled + failed->text(), RunnerView::Said::Error);
    }
}

} // namespace quill
