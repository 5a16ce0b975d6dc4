#include <gtest/gtest.h>

#include "sources/resources.h"
#include "transform/pipeline.h"

TEST(BuiltinPipeline, StatusLines) {
    std::string table = zelmora::OpenBuiltinTable().readAll();
    auto r = zelmora::RunPipeline(table, std::nullopt);
    std::string all;
    for (auto& [c, s] : r.statusLines) all += c + "\t" + s + "\n";
    EXPECT_EQ(all,
              "原码表\t10690行\n一字一行\t10951行\n重码一行\t10690行\n码长分类\t行数:一码25 二码599 三码4396 四码5931\n"
              "全码\t行数:三码832 四码5931 全部6763 三简3564\n出简不出全\t行数:一码25 二码588 三码3811 四码2339 全部6763\n"
              "重码\t重码：249行 510字；不重码10441\n简码全码\t行数:全部简码4188 简码全码3911 简码字3911 置后10690\n");
}
