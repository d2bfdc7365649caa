#include "app/squeeze_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "platform/encoding.h"
#include "platform/interrupt.h"
#include "squeeze/layout_check.h"

namespace tessera {

namespace {

/// Raises stop once the run's Ctrl-C arrives, for as long as it lives.
class InterruptWatch {
 public:
  InterruptWatch()
      : watcher_([this] {
          while (!done_.load()) {
            if (platform::interruptRequested()) stop.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~InterruptWatch() {
    done_.store(true);
    watcher_.join();
  }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  std::atomic<bool> stop{false};

 private:
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

std::string squeezeLine(const SqueezeProgress& progress) {
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.2f", progress.seconds);
  char height[64];
  std::snprintf(height, sizeof height, "%.6f", progress.height);
  return std::string("挤压: 排样高度=") + height + " (" + seconds + " 秒)";
}

}  // namespace

std::string squeezeRefusalOf(const Project& project, const std::string& projectPath) {
  const std::string why = squeezeRefusal(makeProblem(project));
  if (why.empty()) return {};
  return "项目文件\"" + platform::messageText(projectPath) + "\"不能用 --squeeze 排样: " + why +
         "。";
}

Layout layoutOfPoses(const Project& project, const std::vector<Pose>& poses) {
  std::vector<PartPlacement> parts;
  for (std::size_t id = 0; id < poses.size(); ++id)
    parts.push_back(posedPlacement(project, static_cast<int>(id), poses[id].orientation,
                                   poses[id].translation));
  return makeLayout(project, std::move(parts));
}

SqueezeRunResult squeezeRun(const Project& project, const Layout& start, SqueezeOptions options,
                            platform::Console& console) {
  const SqueezeProblem problem = makeProblem(project);
  InterruptWatch interrupt;
  const platform::InterruptNotice notice(
      "收到中断 (Ctrl-C): 挤压将停止, 并写出已找到的最好排样。再按一次 Ctrl-C 将立即退出。");
  options.stop = &interrupt.stop;
  const double startHeight = start.measure.height();
  const SqueezeResult squeezed =
      squeezeLayout(problem, posesFromLayout(problem, start), options,
                    [&](const std::vector<Pose>&, const SqueezeProgress& progress) {
                      if (progress.height < startHeight) console.line(squeezeLine(progress));
                    });
  SqueezeRunResult result{start, false, squeezed.progress};
  if (!squeezed.feasible || !checkLayout(problem, squeezed.poses).feasible()) return result;
  Layout layout = layoutOfPoses(project, squeezed.poses);
  if (!(layout.measure.height() < startHeight)) return result;
  result.layout = std::move(layout);
  result.squeezed = true;
  return result;
}

}  // namespace tessera
