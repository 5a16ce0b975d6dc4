// The whole pipeline as a user runs it in the window, on the built-in table.
#include <gtest/gtest.h>

#include "resources/resources.h"
#include "transform/pipeline.h"

TEST(Pipeline, StatusLinesOfTheBuiltinTable) {
    std::string table = zelmora::OpenBuiltinTable().readAll();
    auto r = zelmora::RunPipeline(table, std::nullopt);
    std::string all;
    for (auto& [c, s] : r.statusLines) all += c + "\t" + s + "\n";
    EXPECT_EQ(all,
              "原码表\t10690行\n一字一行\t10951行\n重码一行\t10690行\n码长分类\t行数:一码25 二码599 三码4396 四码5931\n"
              "全码\t行数:三码832 四码5931 全部6763 三简3564\n出简不出全\t行数:一码25 二码588 三码3811 四码2339 全部6763\n"
              "重码\t重码：249行 510字；不重码10441\n简码全码\t行数:全部简码4188 简码全码3911 简码字3911 置后10690\n");
}

TEST(Pipeline, OutputsInFileOrderAndOwnEntriesTakenAsPasted) {
    auto r = zelmora::RunPipeline("a x\r\nb y z", std::string("b y\nb z\n"));
    std::vector<std::string> hints;
    for (auto& [hint, text] : r.outputs) hints.push_back(hint);
    EXPECT_EQ(hints, (std::vector<std::string>{"一字一行", "重码一行", "一码", "二码", "三码", "四码", "全码三码", "全码四码",
                                               "全码全部", "三简", "最简一码", "最简二码", "最简三码", "最简四码", "最简全部",
                                               "重码", "不重码", "全部简码", "简码全码", "有简码的字",
                                               "简码字的全码重码时置后"}));
    // The pasted entries keep their own lines, breaks made CR LF.
    EXPECT_EQ(r.outputs[0].second, "b y\r\nb z\r\n");
    EXPECT_EQ(r.outputs[1].second, "b y z");
    EXPECT_EQ(r.statusLines[1].second, "2行");
    EXPECT_EQ(r.statusLines[6].second, "重码：1行 0字；不重码1");
}
