#include "transform/results.h"

#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/full_codes.h"
#include "transform/relation.h"
#include "transform/shortest.h"

namespace zelmora {

std::vector<std::string*> ResultTexts(ClassifyResult& r) {
    return {&r.texts[0], &r.texts[1], &r.texts[2], &r.texts[3]};
}

std::vector<std::string*> ResultTexts(FullCodesResult& r) {
    return {&r.threeText, &r.fourText, &r.allText, &r.shortText};
}

std::vector<std::string*> ResultTexts(ShortestCodesResult& r) {
    return {&r.texts[0], &r.texts[1], &r.texts[2], &r.texts[3], &r.allText};
}

std::vector<std::string*> ResultTexts(DuplicateCodesResult& r) { return {&r.duplicateText, &r.uniqueText}; }

std::vector<std::string*> ResultTexts(RelationResult& r) {
    return {&r.shortCodesText, &r.fullCodesText, &r.wordsText, &r.reorderedText};
}

}  // namespace zelmora
