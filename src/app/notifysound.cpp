#include "app/notifysound.h"

#include <mutex>

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "controls/qtext.h"

namespace {

std::mutex g_hookLock;
std::function<void(const std::string&)> g_hook;

// One effect per file, kept for the program's life: QSoundEffect plays
// asynchronously and must outlive the sound.
QSoundEffect* EffectFor(const QString& path) {
  static QSoundEffect* effect = nullptr;
  static QString loaded;
  if (!effect) effect = new QSoundEffect;
  if (loaded != path) {
    effect->setSource(QUrl::fromLocalFile(path));
    loaded = path;
  }
  return effect;
}

}  // namespace

void SetNotifySoundHook(std::function<void(const std::string& localPath)> hook) {
  std::lock_guard<std::mutex> lock(g_hookLock);
  g_hook = std::move(hook);
}

void PlayNotifySound(const std::string& localPath) {
  const QString path = FromLocal(localPath);
  const QFileInfo file(path);
  if (!file.isFile() || !file.isReadable()) return;
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(g_hookLock);
    hook = g_hook;
  }
  if (hook) {
    hook(localPath);
    return;
  }
  QSoundEffect* effect = EffectFor(path);
  effect->stop();
  effect->play();
}
