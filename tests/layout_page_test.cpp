#include "page/layout_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/layout_extras.h"
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

// Two parts of two types: the first placed in the container's corner, the second still parked.
struct TwoParts {
  explicit TwoParts(const std::string& secondName)
      : project(test::makeProject(
            test::box({0, 0, 0}, {5, 5, 8}, "container"),
            {test::box({0, 0, 0}, {3, 2, 1}, "slab"), test::cube(1.5, secondName)}, 1, 1)),
        layout(makeLayout(
            project, {posedPlacement(project, 0, -1, {0, 0, 0}), parkedPlacement(project, 1)})) {}
  Project project;
  Layout layout;
};

TEST(LayoutPage, CarriesEveryPartWithItsFiguresAndIsTheSameForTheSameLayout) {
  const TwoParts two("cube");
  const Project& project = two.project;
  SearchProgress progress{{20.5, 17.25}, {20.5, 18.0}};
  const std::string html = layoutPageHtml(project, two.layout, "Layout_zodedez", progress);
  const std::string data = dataOf(html);
  ASSERT_FALSE(data.empty());
  EXPECT_NE(data.find("{\"name\":\"slab\",\"id\":0,\"type\":0,\"placed\":true,\"position\":[0,0,0],"
                      "\"volume\":"),
            std::string::npos);
  EXPECT_NE(
      data.find("{\"name\":\"cube\",\"id\":1,\"type\":1,\"placed\":false,\"position\":[5,5,8]"),
      std::string::npos);
  EXPECT_NE(data.find("\"types\":[{\"name\":\"slab\",\"colour\":\"#4285f4\",\"count\":1},"
                      "{\"name\":\"cube\",\"colour\":\"#34a853\",\"count\":1}]"),
            std::string::npos);
  EXPECT_NE(data.find("\"progress\":{\"iterations\":[0,1],\"best\":[20.5,17.25],"
                      "\"current\":[20.5,18]}"),
            std::string::npos);
  // The figures are the final report's, character for character.
  const std::vector<std::string> report = finalReportLines(two.layout.measure, "");
  EXPECT_NE(data.find("\"packingHeightText\":\"" + report[4].substr(15) + "\""), std::string::npos)
      << report[4];
  EXPECT_NE(data.find("\"packingDensityText\":\"" + report[5].substr(16) + "\""), std::string::npos)
      << report[5];
  EXPECT_EQ(layoutPageHtml(project, two.layout, "Layout_zodedez", progress), html);
}

TEST(LayoutPage, GbkNamesShowAsTheirCharactersAndNoNameCanBreakThePage) {
  // "测" in GBK, as a file written on a Chinese project holds it, then markup that would end the
  // data early; a lone byte that starts no GBK character ends it.
  const TwoParts two("\xB2\xE2</script><b>\"q\"\\\xFF");
  const std::string html = layoutPageHtml(two.project, two.layout, "t", {});
  const std::string data = dataOf(html);
  EXPECT_TRUE(isUtf8(html));
  EXPECT_EQ(data.find('<'), std::string::npos);
  EXPECT_NE(data.find("\"name\":\"\xE6\xB5\x8B\\u003c/script>\\u003cb>\\\"q\\\"\\\\\xEF\xBF\xBD\""),
            std::string::npos);
  EXPECT_NE(html.find("</script>\n</body>"), std::string::npos);  // the script ends the page
}

TEST(LayoutPage, WritesTheFileOrReportsTheFailureNamingIt) {
  const TwoParts two("cube");
  test::ScratchFolder folder;
  writeLayoutPageFile(two.project, two.layout, folder.path("Layout_zodedez.html"), {});
  EXPECT_EQ(test::readBytes(folder.path("Layout_zodedez.html")),
            layoutPageHtml(two.project, two.layout, "Layout_zodedez", {}));
  try {
    writeLayoutPageFile(two.project, two.layout, folder.path("missing/x.html"), {});
    FAIL() << "no error";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("missing/x.html"), std::string::npos) << error.what();
  }
}

TEST(LayoutPage, APauseWritesThePageWithTheSearchSoFarUnlessPicturesAreOff) {
  const TwoParts two("cube");
  auto progress = std::make_shared<PageProgress>();
  progress->started({0.4, 20.5});
  const auto pause = [&](const std::vector<ExtraLayoutFile>& extras) {
    for (const ExtraLayoutFile& extra : extras)
      extra.write(two.project, two.layout, "snap" + extra.suffix);
  };
  test::ScratchFolder folder;
  {
    test::WorkingDirectory inside(folder.path(""));
    pause(layoutExtrasFor(parseArguments({}, "/nowhere"), {}, progress));
  }
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"snap.html", "snap.png"}));
  EXPECT_NE(dataOf(test::readBytes(folder.path("snap.html"))).find("\"best\":[20.5]"),
            std::string::npos);
  test::ScratchFolder off;
  {
    test::WorkingDirectory inside(off.path(""));
    pause(layoutExtrasFor(parseArguments({"--no-picture"}, "/nowhere"), {}, progress));
  }
  EXPECT_TRUE(off.entries().empty());
}

// The records of a search: a start, an accepted worse neighbour, a rejected one and a new
// best. Each iteration is told as it begins and as it ends; only the end carries heights.
void searchOf(PageProgress& progress) {
  progress.started({0.444987, 20.0078});
  const auto iteration = [&](int i, double height, bool accepted, bool newBest) {
    IterationRecord record;
    record.iteration = i;
    progress.iterated(record);
    record.finished = true;
    record.neighbourHeight = height;
    record.accepted = accepted;
    record.newBest = newBest;
    progress.iterated(record);
  };
  iteration(1, 22.25, true, false);
  iteration(2, 30, false, false);
  iteration(3, 14.5, true, true);
}

TEST(SearchProgress, FollowsBestAndCurrentHeightThroughTheRecords) {
  PageProgress progress;
  searchOf(progress);
  EXPECT_EQ(progress.progress().best, (std::vector<double>{20.0078, 20.0078, 20.0078, 14.5}));
  EXPECT_EQ(progress.progress().current, (std::vector<double>{20.0078, 22.25, 22.25, 14.5}));
}

TEST(SearchProgress, WithSeveralChainsTheBestIsTheBestOfAllChainsAndOnlyChainZeroIsCharted) {
  PageProgress progress;
  searchOf(progress);
  // Another chain found 12.25 before the meeting; chain 0's next iterations compare with it.
  progress.exchanged({1, 2, 3, 0.7, 12.25, 1});
  IterationRecord other;
  other.chain = 1;
  other.finished = true;
  other.neighbourHeight = 11;
  other.accepted = other.newBest = true;
  progress.iterated(other);
  IterationRecord fourth;
  fourth.iteration = 4;
  fourth.finished = true;
  fourth.neighbourHeight = 17;
  fourth.accepted = true;
  progress.iterated(fourth);
  progress.exchanged({2, 2, 4, 0.6, 14.5, 0});
  EXPECT_EQ(progress.progress().best,
            (std::vector<double>{20.0078, 20.0078, 20.0078, 12.25, 12.25}));
  EXPECT_EQ(progress.progress().current.back(), 17);
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
  PageProgress progress;
  searchOf(progress);
  progress.started({0.9, 9.5});
  EXPECT_EQ(progress.progress().best, std::vector<double>{9.5});
  EXPECT_EQ(progress.progress().current, std::vector<double>{9.5});
}

}  // namespace
}  // namespace tessera
