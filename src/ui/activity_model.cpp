#include "ui/activity_model.h"

#include <QVariantMap>

#include "app/entry_style.h"
#include "app/event_log.h"
#include "app/symbol_glyph.h"
#include "ui/qt_text.h"
#include "ui/theme_palette.h"

namespace thwacko {

namespace {

double millisecondsSinceEpoch(WallTime time) {
  return std::chrono::duration<double, std::milli>(time.time_since_epoch()).count();
}

}  // namespace

ActivityModel::ActivityModel(EventLog& log, MainQueue& mainQueue, const Clock& clock,
                             const ThemePalette& palette, QObject* parent)
    : QObject(parent), log_(log), clock_(clock), palette_(palette), flash_(log, mainQueue) {
  logSubscription_ = log_.observe([this] { emit entriesChanged(); });
  flashSubscription_ = flash_.observe([this] { emit flashChanged(); });
  connect(&palette, &ThemePalette::changed, this, &ActivityModel::entriesChanged);
}

QVariantList ActivityModel::entries() const {
  QVariantList list;
  const auto& entries = log_.entries();
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const EntryStyle style = entryStyle(entry->type);
    QVariantMap row;
    row["id"] = QString::fromStdString(entry->id.toString());
    row["message"] = QString::fromStdString(entry->message);
    row["glyph"] = toQString(symbolGlyph(style.icon));
    row["color"] = palette_.resolve(style.color);
    row["badgeText"] = style.badge ? toQString(style.badge->text) : QString();
    row["badgeColor"] = style.badge ? palette_.resolve(style.badge->textColor) : QColor();
    row["badgeBackground"] = style.badge ? palette_.resolve(style.badge->background) : QColor();
    row["timestamp"] = millisecondsSinceEpoch(entry->timestamp);
    list.append(row);
  }
  return list;
}

QString ActivityModel::flashMessage() const {
  return flash_.message() ? QString::fromStdString(*flash_.message()) : QString();
}

QString ActivityModel::age(double timestampMs) const {
  const double elapsed = (millisecondsSinceEpoch(clock_.now()) - timestampMs) / 1000;
  return QString::fromStdString(ageText(elapsed));
}

}  // namespace thwacko
