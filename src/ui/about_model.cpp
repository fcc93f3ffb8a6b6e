#include "ui/about_model.h"

#include <QLocale>
#include <QVariantMap>

#include "app/about_facts.h"
#include "app/coordinator.h"
#include "app/settings_text.h"
#include "app/update_checker.h"
#include "build_info.h"
#include "ui/qt_text.h"
#include "ui/url_opener.h"

namespace thwacko {

namespace {

QVariantMap row(const QString& label, const QString& value) {
  return {{QStringLiteral("label"), label}, {QStringLiteral("value"), value}};
}

}  // namespace

AboutModel::AboutModel(Coordinator& coordinator, UpdateChecker& updater, Preferences& preferences,
                       QObject* parent)
    : QObject(parent), coordinator_(coordinator), updater_(updater), preferences_(preferences) {
  hasUpdateSubscription_ = updater_.observeHasUpdate([this](const bool&) { emit updateChanged(); });
  latestVersionSubscription_ =
      updater_.observeLatestVersion([this](const std::optional<std::string>&) { emit updateChanged(); });
  totalSubscription_ = preferences_.observe(Coordinator::kTotalTapCountKey, [this] { refreshFacts(); });
  coordinatorSubscription_ = coordinator_.observe([this] { refreshFacts(); });
  refreshFacts();
}

QString AboutModel::version() const { return toQString(shownVersion(build_info::version)); }
bool AboutModel::hasUpdate() const { return updater_.hasUpdate(); }
QString AboutModel::latestVersion() const { return toQString(updater_.latestVersion().value_or("")); }

void AboutModel::appear() {
  refreshFacts();
  updater_.check();
}

void AboutModel::openUpdate() { openURL(updater_.updateLink()); }

void AboutModel::refreshFacts() {
  QVariantList facts;
  for (const AboutFact& fact :
       aboutFacts(coordinator_.detector().foundSensorKind(), coordinator_.soundEngine().apiName(),
                  coordinator_.soundEngine().latencySeconds()))
    facts.append(row(toQString(fact.label), toQString(fact.value)));
  const auto total = static_cast<qlonglong>(preferences_.readInteger(Coordinator::kTotalTapCountKey));
  facts.append(row(QStringLiteral("Total taps"), QLocale().toString(total)));
  if (facts == facts_) return;
  facts_ = std::move(facts);
  emit factsChanged();
}

}  // namespace thwacko
