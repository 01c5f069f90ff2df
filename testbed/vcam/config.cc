// Reading the optics set-up and the scene script.
#include "testbed/vcam/config.h"

#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <sstream>

#include "testbed/vcam/store.h"

namespace vcam {

namespace {

constexpr int kDayLuma = 120;
constexpr int kDuskLuma = 15;
constexpr int kNightLuma = 3;

int default_luma(const std::string& kind) {
  if (kind == "dusk") return kDuskLuma;
  if (kind == "night" || kind == "flicker") return kNightLuma;
  return kDayLuma;
}

}  // namespace

Optics parse_optics(const std::string& text) {
  Optics o;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const char* value = line.c_str() + eq + 1;
    const long long n = std::strtoll(value, nullptr, 10);
    if (key == "slices") o.slices = static_cast<int>(n);
    if (key == "true_focus") o.true_focus = n;
    if (key == "width") o.width = std::strtod(value, nullptr);
    if (key == "texture_min") o.texture_min = static_cast<int>(n);
    if (key == "texture_max") o.texture_max = static_cast<int>(n);
    if (key == "blur_floor") o.blur_floor = static_cast<int>(n);
    if (key == "noise") o.noise = static_cast<int>(n);
    if (key == "luma_noise") o.luma_noise = static_cast<int>(n);
    if (key == "night_gain") o.night_gain = static_cast<int>(n);
    if (key == "flat") o.flat = n != 0;
    if (key == "ae_tile_zero") o.ae_tile_zero = n != 0;
    if (key == "iav_absent") o.iav_absent = n != 0;
    if (key == "i2c_absent") o.i2c_absent = n != 0;
    if (key == "seed") o.seed = static_cast<uint32_t>(n);
  }
  if (o.slices < 1) o.slices = 1;
  if (o.slices > 5) o.slices = 5;
  if (o.width <= 0) o.width = 1;
  return o;
}

Optics load_optics() {
  return parse_optics(read_file("optics"));
}

std::vector<ScenePart> parse_scene(const std::string& text) {
  std::vector<ScenePart> scene;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    ScenePart part;
    if (!(words >> part.kind) || part.kind[0] == '#' || part.kind == "by") continue;
    if (part.kind == "object" || is_effect_line(part.kind)) continue;
    words >> part.seconds;
    part.luma = default_luma(part.kind);
    int luma;
    if (words >> luma) part.luma = luma;
    scene.push_back(part);
  }
  return scene;
}

int scene_luma(const std::vector<ScenePart>& scene, double elapsed, int64_t report) {
  if (scene.empty()) return kDayLuma;
  const ScenePart* part = &scene.back();
  double start = 0;
  int before = kDayLuma;
  for (const ScenePart& p : scene) {
    if (elapsed < start + p.seconds) {
      part = &p;
      break;
    }
    start += p.seconds;
    before = p.luma;
  }
  if (part->kind == "flicker" && report % 2 == 1) return kDayLuma;
  if (part->kind == "ramp" && part->seconds > 0 && elapsed < start + part->seconds) {
    const double done = (elapsed - start) / part->seconds;
    return static_cast<int>(before + (part->luma - before) * done + 0.5);
  }
  return part->luma;
}

std::vector<SceneObject> parse_objects(const std::string& text) {
  std::vector<SceneObject> objects;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    SceneObject o;
    if (!(words >> kind) || kind != "object") continue;
    if (!(words >> o.from >> o.seconds >> o.x >> o.y >> o.width >> o.height >> o.luma)) continue;
    words >> o.speed_x >> o.speed_y;
    objects.push_back(o);
  }
  return objects;
}

SceneNow current_scene(int64_t report) {
  SceneNow now;
  const std::string path = dir() + "/scene";
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return now;
  timespec clock;
  clock_gettime(CLOCK_REALTIME, &clock);
  now.elapsed = static_cast<double>(clock.tv_sec - st.st_mtim.tv_sec) +
                static_cast<double>(clock.tv_nsec - st.st_mtim.tv_nsec) / 1e9;
  const std::string text = read_file("scene");
  // "by readings": the script counts statistics reports instead of seconds.
  if (text.rfind("by readings\n", 0) == 0) now.elapsed = static_cast<double>(report) + 0.5;
  now.luma = scene_luma(parse_scene(text), now.elapsed, report);
  now.objects = parse_objects(text);
  now.effects = parse_effects(text);
  return now;
}

}  // namespace vcam
