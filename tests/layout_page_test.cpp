#include "page/layout_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/run.h"
#include "formats/report_writer.h"
#include "page/search_progress.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

const std::string kDataOpen = "<script id=\"tessera-layout\" type=\"application/json\">";

// The layout data the page carries.
std::string dataOf(const std::string& html) {
  const std::size_t start = html.find(kDataOpen);
  if (start == std::string::npos) return {};
  const std::size_t from = start + kDataOpen.size();
  return html.substr(from, html.find("</script>", from) - from);
}

bool isUtf8(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "UTF-8");
  std::string copy = text;
  std::string out(text.size() + 16, '\0');
  char* in = copy.data();
  char* to = out.data();
  std::size_t inLeft = copy.size();
  std::size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  return ok && inLeft == 0;
}

// Two parts of two types: the first moved into the container's corner, the second still parked.
PackingSystem twoPartLayout(const std::string& secondName) {
  PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {5, 5, 8}, "container"),
                                          {test::box({0, 0, 0}, {3, 2, 1}, "slab"),
                                           test::cube(1.5)},
                                          1, 1);
  system.parts[1].name = secondName;
  system.masterParts[1].name = secondName;
  system.partTypes = {{"slab", 0}, {secondName, 1}};
  Part& slab = system.parts[0];
  slab.translate(minus(Point{0, 0, 0}, slab.boxMin));
  slab.placed = true;
  return system;
}

TEST(LayoutPage, CarriesEveryPartWithItsFiguresAndIsTheSameForTheSameLayout) {
  PackingSystem system = twoPartLayout("cube");
  SearchProgress progress{{20.5, 17.25}, {20.5, 18.0}};
  const std::string html = layoutPageHtml(system, "Layout_zodedez", progress);
  const std::string data = dataOf(html);
  ASSERT_FALSE(data.empty());
  EXPECT_NE(data.find("{\"name\":\"slab\",\"id\":0,\"type\":0,\"placed\":true,\"position\":[0,0,0],"
                      "\"volume\":"),
            std::string::npos);
  EXPECT_NE(data.find("{\"name\":\"cube\",\"id\":1,\"type\":1,\"placed\":false,\"position\":[5,5,8]"),
            std::string::npos);
  EXPECT_NE(data.find("\"types\":[{\"name\":\"slab\",\"colour\":\"#4285f4\",\"count\":1},"
                      "{\"name\":\"cube\",\"colour\":\"#34a853\",\"count\":1}]"),
            std::string::npos);
  EXPECT_NE(data.find("\"progress\":{\"iterations\":[0,1],\"best\":[20.5,17.25],"
                      "\"current\":[20.5,18]}"),
            std::string::npos);
  // The figures are the final report's, character for character.
  const std::vector<std::string> report = finalReportLines(system);
  EXPECT_NE(data.find("\"packingHeightText\":\"" + report[4].substr(15) + "\""), std::string::npos)
      << report[4];
  EXPECT_NE(data.find("\"packingDensityText\":\"" + report[5].substr(16) + "\""), std::string::npos)
      << report[5];
  EXPECT_EQ(layoutPageHtml(system, "Layout_zodedez", progress), html);
}

TEST(LayoutPage, GbkNamesShowAsTheirCharactersAndNoNameCanBreakThePage) {
  // "测" in GBK, as a file written on a Chinese system holds it, then markup that would end the
  // data early; a lone byte that starts no GBK character ends it.
  PackingSystem system = twoPartLayout("\xB2\xE2</script><b>\"q\"\\\xFF");
  const std::string html = layoutPageHtml(system, "t", {});
  const std::string data = dataOf(html);
  EXPECT_TRUE(isUtf8(html));
  EXPECT_EQ(data.find('<'), std::string::npos);
  EXPECT_NE(data.find("\"name\":\"\xE6\xB5\x8B\\u003c/script>\\u003cb>\\\"q\\\"\\\\\xEF\xBF\xBD\""),
            std::string::npos);
  EXPECT_NE(html.find("</script>\n</body>"), std::string::npos);  // the script ends the page
}

TEST(LayoutPage, WritesTheFileOrReportsTheFailureNamingIt) {
  PackingSystem system = twoPartLayout("cube");
  test::ScratchFolder folder;
  writeLayoutPageFile(system, folder.path("Layout_zodedez.html"), {});
  EXPECT_EQ(test::readBytes(folder.path("Layout_zodedez.html")),
            layoutPageHtml(system, "Layout_zodedez", {}));
  try {
    writeLayoutPageFile(system, folder.path("missing/x.html"), {});
    FAIL() << "no error";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("missing/x.html"), std::string::npos) << error.what();
  }
}

TEST(LayoutPage, APauseWritesThePageWithTheSearchSoFarUnlessPicturesAreOff) {
  PackingSystem system = twoPartLayout("cube");
  auto reader = std::make_shared<SearchProgressReader>();
  reader->consume("  初始排样序列:排样高度=20.5,排样效率=0.4\n");
  test::ScratchFolder folder;
  {
    test::WorkingDirectory inside(folder.path(""));
    layoutExtrasFor(parseArguments({}, "/nowhere"), reader)(system, "snap");
  }
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"snap.html", "snap.png"}));
  EXPECT_NE(dataOf(test::readBytes(folder.path("snap.html"))).find("\"best\":[20.5]"),
            std::string::npos);
  test::ScratchFolder off;
  {
    test::WorkingDirectory inside(off.path(""));
    layoutExtrasFor(parseArguments({"--no-picture"}, "/nowhere"), reader)(system, "snap");
  }
  EXPECT_TRUE(off.entries().empty());
}

// Lines as the search writes them: a start, an accepted worse neighbour, a rejected one and a
// new best.
const char* const kSearchLog =
    "欢迎使用TESSERA!\n"
    "  初始排样序列:排样高度=20.0078,排样效率=0.444987\n"
    "第1次模拟退火:\n  当前温度=0.01\n  最优排样效率=0.444987; 当前排样效率=0.444987\n"
    "  生成的邻域排样序列:\n  排样效率=0.4;排样高度=22.25\n  随机数=0.1 ;接受概率=0.2\n"
    "  邻域解次于当前解\n  邻域解被接受成为当前解\n  邻域解次于最优解\n"
    "第2次模拟退火:\n  生成的邻域排样序列:\n  排样效率=0.3;排样高度=30\n"
    "  邻域解次于当前解\n  邻域解被拒绝成为当前解\n  邻域解次于最优解\n"
    "第3次模拟退火:\n  生成的邻域排样序列:\n  排样效率=0.6;排样高度=14.5\n"
    "  邻域解优于当前解\n  邻域解被接受成为当前解\n  邻域解优于最优解\n";

TEST(SearchProgress, FollowsBestAndCurrentHeightThroughTheLogInAnyPieces) {
  const std::string log = kSearchLog;
  for (std::size_t piece : {log.size(), std::size_t{1}, std::size_t{7}}) {
    SearchProgressReader reader;
    for (std::size_t i = 0; i < log.size(); i += piece) reader.consume(log.substr(i, piece));
    EXPECT_EQ(reader.progress().best, (std::vector<double>{20.0078, 20.0078, 20.0078, 14.5}))
        << piece;
    EXPECT_EQ(reader.progress().current, (std::vector<double>{20.0078, 22.25, 22.25, 14.5}))
        << piece;
  }
}

TEST(SearchProgress, WithSeveralChainsTheBestIsTheBestOfAllChains) {
  SearchProgressReader reader;
  reader.consume(kSearchLog);
  // Another chain found 12.25 before the meeting; chain 0's next iterations compare with it.
  reader.consume(
      "第1次链间交换 (2 条链, 每条已完成 3 次迭代): 最优排样效率=0.7, 最优排样高度=12.25, "
      "由第 1 条链找到\n"
      "第4次模拟退火:\n  生成的邻域排样序列:\n  排样效率=0.5;排样高度=17\n"
      "  邻域解次于当前解\n  邻域解被接受成为当前解\n  邻域解次于最优解\n"
      "第2次链间交换 (2 条链, 每条已完成 4 次迭代): 最优排样效率=0.6, 最优排样高度=14.5, "
      "由第 0 条链找到\n");
  EXPECT_EQ(reader.progress().best, (std::vector<double>{20.0078, 20.0078, 20.0078, 12.25, 12.25}));
  EXPECT_EQ(reader.progress().current.back(), 17);
}

TEST(SearchProgress, ALongSearchIsChartedWithAFewPointsKeepingItsEndsAndExtremes) {
  SearchProgress progress;
  const std::size_t n = 140002;
  for (std::size_t i = 0; i < n; ++i) {
    progress.best.push_back(30.0 - static_cast<double>(i) / 10000);
    progress.current.push_back(i == 77777   ? 99.0
                               : i == 88888 ? 1.0
                                            : 40.0 - static_cast<double>(i % 13));
  }
  const ProgressChart chart = chartOf(progress);
  EXPECT_LE(chart.iterations.size(), kChartPoints);
  EXPECT_GE(chart.iterations.size(), kChartPoints - 2);
  ASSERT_EQ(chart.best.size(), chart.iterations.size());
  ASSERT_EQ(chart.current.size(), chart.iterations.size());
  EXPECT_EQ(chart.iterations.front(), 0);
  EXPECT_EQ(chart.iterations.back(), static_cast<std::int64_t>(n - 1));
  EXPECT_TRUE(std::is_sorted(chart.iterations.begin(), chart.iterations.end()));
  EXPECT_EQ(std::adjacent_find(chart.iterations.begin(), chart.iterations.end()),
            chart.iterations.end());
  for (std::size_t k = 0; k < chart.iterations.size(); ++k) {
    const auto i = static_cast<std::size_t>(chart.iterations[k]);
    EXPECT_EQ(chart.best[k], progress.best[i]);
    EXPECT_EQ(chart.current[k], progress.current[i]);
  }
  EXPECT_EQ(chart.best.back(), progress.best.back());
  EXPECT_EQ(*std::max_element(chart.current.begin(), chart.current.end()), 99.0);
  EXPECT_EQ(*std::min_element(chart.current.begin(), chart.current.end()), 1.0);
  // A short search keeps every iteration; the same search gives the same chart.
  SearchProgress shortOne{{3, 2, 1}, {3, 4, 1}};
  EXPECT_EQ(chartOf(shortOne).iterations, (std::vector<std::int64_t>{0, 1, 2}));
  EXPECT_EQ(chartOf(progress).iterations, chart.iterations);
}

TEST(SearchProgress, ANewSearchStartsANewRecord) {
  SearchProgressReader reader;
  reader.consume(kSearchLog);
  reader.consume("  初始排样序列:排样高度=9.5,排样效率=0.9\n");
  EXPECT_EQ(reader.progress().best, std::vector<double>{9.5});
  EXPECT_EQ(reader.progress().current, std::vector<double>{9.5});
}

}  // namespace
}  // namespace tessera
