#include "BenchPlan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <set>
#include <stdexcept>
#include <unordered_set>

namespace bench {

std::uint64_t Random::Next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t Random::Below(std::uint64_t bound)
{
    if (bound == 0)
        throw std::invalid_argument("Random::Below with an empty range");
    // Rejection keeps the numbers uniform.
    const std::uint64_t limit = ~std::uint64_t{0} - (~std::uint64_t{0} % bound);
    std::uint64_t value = Next();
    while (value >= limit)
        value = Next();
    return value % bound;
}

std::vector<std::size_t> Random::Choose(std::size_t count, std::size_t bound)
{
    if (count > bound)
        throw std::invalid_argument("Random::Choose: more numbers than the range holds");
    std::vector<std::size_t> chosen;
    chosen.reserve(count);
    if (count * 4 < bound) {
        std::unordered_set<std::size_t> seen;
        while (chosen.size() < count) {
            const auto value = static_cast<std::size_t>(Below(bound));
            if (seen.insert(value).second)
                chosen.push_back(value);
        }
    } else {
        std::vector<std::size_t> all(bound);
        std::iota(all.begin(), all.end(), std::size_t{0});
        for (std::size_t i = 0; i < count; ++i) {
            const auto j = i + static_cast<std::size_t>(Below(bound - i));
            std::swap(all[i], all[j]);
        }
        chosen.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count));
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

std::string MakeGuid(std::uint64_t seed, std::uint32_t kind, std::uint64_t index)
{
    Random random(seed ^ (std::uint64_t{kind} << 56) ^ (index * 0x2545F4914F6CDD1Dull));
    const std::uint64_t high = random.Next();
    const std::uint64_t low = random.Next();
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string Braced(const std::string& guid) { return "{" + guid + "}"; }

namespace {

// Kinds of rows, each with its own run of GUIDs.
enum Kind : std::uint32_t {
    kDialPlanRow = 1,
    kTagRow,
    kInstructionRow,
    kMemberRow,
    kFilterRow,
    kFilterMemberRow,
    kPatternRow,
    kRouteListRow,
    kNewTagRow,
    kNewInstructionRow,
    kNewMemberRow,
};

const char* const kTagWords[] = {
    "INTERNATIONAL-ACCESS",
    "INTERNATIONAL-DIRECT-DIAL",
    "COUNTRY-CODE",
    "NATIONAL-NUMBER",
    "PRE-DOT",
    "PRE-AT",
    "TRAILING-#",
    "AREA-CODE",
    "OFFICE-CODE",
    "SUBSCRIBER",
    "LOCAL-DIRECT-DIAL",
    "TRUNK-PREFIX",
    "CARRIER-CODE",
    "SERVICE",
    "TOLL-FREE",
    "PREMIUM-SERVICE",
    "EMERGENCY",
    "VOICEMAIL-ACCESS",
    "INTERNATIONAL-OPERATOR",
    "NATIONAL-OPERATOR",
    "LOCAL-AREA-CODE",
    "TRANSIT-NETWORK",
    "SATELLITE-SERVICE",
    "ROUTE-CLASS",
};
constexpr std::size_t kTagWordCount = sizeof kTagWords / sizeof kTagWords[0];

const char* const kInstructionWords[] = {
    "11D->10D",       "10D->7D",        "Intl Strip",    "Trunk Prefix Drop", "Area Code Drop",
    "Carrier Select", "Operator Strip", "Service Strip", "Toll Bypass",       "NANP Local",
};
constexpr std::size_t kInstructionWordCount = sizeof kInstructionWords / sizeof kInstructionWords[0];

const char* const kPlanNames[] = {"NorthAmerica", "EuropeWest",  "AsiaPacific", "LatinAmerica",
                                  "Oceania",      "AfricaSouth", "MiddleEast",  "Nordic"};
constexpr std::size_t kPlanNameCount = sizeof kPlanNames / sizeof kPlanNames[0];

const char* const kSecondClauses[dialplan::kPredefinedCount] = {
    "INTERNATIONAL-ACCESS", "PRE-DOT INTERNATIONAL-ACCESS", "PRE-AT, INTERNATIONAL-ACCESS",
    "TRAILING-# SERVICE",   "PRE-DOT TRAILING-#, SERVICE",  "PRE-AT TRAILING-#, SERVICE COUNTRY-CODE",
};

std::string TagText(std::size_t index, const std::string& prefix)
{
    std::string text = prefix + kTagWords[index % kTagWordCount];
    if (index >= kTagWordCount)
        text += "-" + std::to_string(index / kTagWordCount);
    return text;
}

std::string InstructionName(std::size_t index, const std::string& prefix)
{
    return prefix + kInstructionWords[index % kInstructionWordCount] + " " + std::to_string(index);
}

// One to four tags of the plan, in groups; about one clause in three separates
// its groups with a comma, as hand-written clauses do.
std::string Clause(Random& random, const std::vector<Tag>& tags)
{
    const auto words = 1 + static_cast<std::size_t>(random.Below(4));
    const bool commas = random.Below(3) == 0;
    std::string clause;
    for (std::size_t i = 0; i < words; ++i) {
        if (i > 0)
            clause += (commas && i == words - 1) ? ", " : " ";
        clause += tags[static_cast<std::size_t>(random.Below(tags.size()))].tag;
    }
    return clause;
}

Tag MakeTag(Random& random, std::string pkid, std::string text)
{
    Tag tag;
    tag.pkid = std::move(pkid);
    tag.tag = std::move(text);
    tag.suppress = random.Below(5) == 0 ? "t" : "f";
    tag.operatorMax = std::string(1, static_cast<char>('0' + random.Below(4)));
    return tag;
}

// How many members each instruction gets: the six predefined ones share about
// half of them (each joined to many tags), the others a few each.
std::vector<std::size_t> MemberCounts(std::size_t tags, std::size_t instructions, std::size_t members)
{
    const std::size_t others = instructions - 6;
    std::size_t predefined = std::min(members / 2, 6 * tags);
    if (others == 0)
        predefined = members;
    std::size_t rest = members - predefined;
    if (others > 0 && rest < others && members >= others) {
        // Every other instruction gets at least one member where the total allows.
        predefined = members - others;
        rest = others;
    }
    if (predefined > 6 * tags || (others > 0 && rest > others * tags) || (others == 0 && rest > 0))
        throw std::invalid_argument("more members than pairs of instruction and tag");
    std::vector<std::size_t> counts(instructions, 0);
    for (std::size_t i = 0; i < 6; ++i)
        counts[i] = predefined / 6 + (i < predefined % 6 ? 1 : 0);
    for (std::size_t i = 0; i < others; ++i)
        counts[6 + i] = rest / others + (i < rest % others ? 1 : 0);
    // Remainders may push a predefined instruction past the number of tags; move
    // the surplus to the others.
    for (std::size_t i = 0; i < 6; ++i) {
        while (counts[i] > tags) {
            --counts[i];
            auto target = std::min_element(counts.begin() + 6, counts.end());
            if (target == counts.end() || *target >= tags)
                throw std::invalid_argument("more members than pairs of instruction and tag");
            ++*target;
        }
    }
    return counts;
}

DialPlan MakePlan(std::uint64_t seed, std::uint64_t planNo, const std::string& name, const std::string& description,
                  std::size_t tagCount, std::size_t instructionCount, std::size_t memberCount, Random& random)
{
    if (instructionCount < 6)
        throw std::invalid_argument("a dial plan has at least the six predefined instructions");
    if (tagCount == 0 && memberCount > 0)
        throw std::invalid_argument("members need tags");
    DialPlan plan;
    plan.pkid = MakeGuid(seed, kDialPlanRow, planNo);
    plan.name = name;
    plan.description = description;
    const std::uint64_t base = planNo << 32;
    for (std::size_t i = 0; i < tagCount; ++i)
        plan.tags.push_back(MakeTag(random, MakeGuid(seed, kTagRow, base + i), TagText(i, "")));
    for (std::size_t i = 0; i < instructionCount; ++i) {
        Instruction instruction;
        instruction.pkid = MakeGuid(seed, kInstructionRow, base + i);
        instruction.analysisId = static_cast<int>(i + 1);
        if (i < dialplan::kPredefinedCount) {
            instruction.name = dialplan::kPredefinedInstructions[i];
            instruction.clause = zentra_test::kPredefinedClauses[i];
        } else {
            instruction.name = InstructionName(i, "");
            instruction.clause = tagCount > 0 ? Clause(random, plan.tags) : "";
        }
        plan.instructions.push_back(instruction);
    }
    const std::vector<std::size_t> counts = MemberCounts(tagCount, instructionCount, memberCount);
    std::uint64_t memberNo = 0;
    for (std::size_t i = 0; i < instructionCount; ++i) {
        for (std::size_t t : random.Choose(counts[i], tagCount)) {
            Member member;
            member.pkid = MakeGuid(seed, kMemberRow, base + memberNo++);
            member.instruction = plan.instructions[i].pkid;
            member.tag = plan.tags[t].pkid;
            plan.members.push_back(member);
        }
    }
    return plan;
}

std::string Pattern(Random& random)
{
    static const char* const kShapes[] = {"9.1[2-9]XX[2-9]XXXXXX", "9.011!", "9.[2-9]XXXXXX", "8.XXXX",
                                          "9.1800XXXXXXX",         "9.911",  "7.@",           "9.0!#"};
    std::string pattern = kShapes[random.Below(8)];
    pattern = std::to_string(1 + random.Below(99)) + "*" + pattern;
    return pattern;
}

// Routes, route lists and route filters that use the given tags and
// instructions of a plan.
void AddRouting(std::uint64_t seed, std::uint64_t& rowNo, const DialPlan& plan, const std::vector<std::size_t>& tags,
                const std::vector<std::size_t>& instructions, std::size_t filterCount, std::size_t patternCount,
                std::size_t routeListCount, Random& random, Routing& routing)
{
    std::vector<std::string> filters;
    for (std::size_t f = 0; f < filterCount; ++f) {
        RouteFilter filter;
        filter.pkid = MakeGuid(seed, kFilterRow, rowNo++);
        filter.name = plan.name + "-Filter-" + std::to_string(f + 1);
        filter.dialPlan = plan.pkid;
        filter.clause = tags.empty() ? "" : "(" + plan.tags[tags[f % tags.size()]].tag + " EXISTS)";
        filters.push_back(filter.pkid);
        routing.filters.push_back(filter);
    }
    for (std::size_t k = 0; k < tags.size() && !filters.empty(); ++k) {
        RouteFilterMember member;
        member.pkid = MakeGuid(seed, kFilterMemberRow, rowNo++);
        member.routeFilter = filters[k % filters.size()];
        member.tag = plan.tags[tags[k]].pkid;
        member.digits = std::to_string(random.Below(1000));
        routing.filterMembers.push_back(member);
    }
    for (std::size_t k = 0; k < patternCount && !instructions.empty(); ++k) {
        NumPlanRow row;
        row.pkid = MakeGuid(seed, kPatternRow, rowNo++);
        row.pattern = Pattern(random);
        row.dialPlan = plan.pkid;
        row.instruction = plan.instructions[instructions[k % instructions.size()]].pkid;
        row.routeFilter = filters.empty() ? "" : filters[k % filters.size()];
        row.description = "Route pattern " + std::to_string(k + 1) + " of " + plan.name;
        routing.patterns.push_back(row);
    }
    for (std::size_t k = 0; k < routeListCount && !instructions.empty(); ++k) {
        RouteListRow row;
        row.pkid = MakeGuid(seed, kRouteListRow, rowNo++);
        row.name = plan.name + "-RL-" + std::to_string(k + 1);
        row.instruction = plan.instructions[instructions[(k * 7) % instructions.size()]].pkid;
        row.description = "Route list " + std::to_string(k + 1);
        routing.routeLists.push_back(row);
    }
}

std::vector<std::size_t> Without(std::size_t bound, std::size_t from, const std::set<std::size_t>& excluded)
{
    std::vector<std::size_t> rest;
    for (std::size_t i = from; i < bound; ++i)
        if (excluded.count(i) == 0)
            rest.push_back(i);
    return rest;
}

void CheckUnique(const Scenario& scenario)
{
    std::unordered_set<std::string> seen;
    auto add = [&seen](const std::string& pkid) {
        if (!seen.insert(pkid).second)
            throw std::logic_error("GUID generated twice: " + pkid);
    };
    std::vector<const DialPlan*> plans = {&scenario.first};
    for (const DialPlan& plan : scenario.others)
        plans.push_back(&plan);
    for (const DialPlan* plan : plans) {
        add(plan->pkid);
        for (const Tag& tag : plan->tags)
            add(tag.pkid);
        for (const Instruction& instruction : plan->instructions)
            add(instruction.pkid);
        for (const Member& member : plan->members)
            add(member.pkid);
    }
    // The second version keeps the first one's rows: only its new rows count.
    std::unordered_set<std::string> first;
    for (const Tag& tag : scenario.first.tags)
        first.insert(tag.pkid);
    for (const Instruction& instruction : scenario.first.instructions)
        first.insert(instruction.pkid);
    for (const Member& member : scenario.first.members)
        first.insert(member.pkid);
    for (const Tag& tag : scenario.second.tags)
        if (first.count(tag.pkid) == 0)
            add(tag.pkid);
    for (const Instruction& instruction : scenario.second.instructions)
        if (first.count(instruction.pkid) == 0)
            add(instruction.pkid);
    for (const Member& member : scenario.second.members)
        if (first.count(member.pkid) == 0)
            add(member.pkid);
    for (const Routing* routing : {&scenario.otherRouting, &scenario.planRouting}) {
        for (const auto& row : routing->filters)
            add(row.pkid);
        for (const auto& row : routing->filterMembers)
            add(row.pkid);
        for (const auto& row : routing->patterns)
            add(row.pkid);
        for (const auto& row : routing->routeLists)
            add(row.pkid);
    }
}

}  // namespace

Scenario BuildScenario(const Options& options)
{
    if (options.instructions < 6)
        throw std::invalid_argument("--instructions must be at least 6 (the predefined ones)");
    if (options.change < 0.0 || options.change > 1.0)
        throw std::invalid_argument("--change must lie between 0 and 1");
    if (options.otherPlans > kPlanNameCount)
        throw std::invalid_argument("at most " + std::to_string(kPlanNameCount) + " other dial plans");
    if (options.name.empty() || options.name.size() > 50)
        throw std::invalid_argument("the dial plan name must have 1 to 50 characters");

    Scenario scenario;
    scenario.options = options;
    Random random(options.seed);

    // The other dial plans, each with its digit-analysis IDs scattered over a
    // range four times the number of their instructions, so that the new plan
    // fills gaps first.
    const std::size_t otherTags = 40, otherInstructions = 26, otherMembers = 6 * 20 + 20 * 3;
    const std::size_t otherIdCount = options.otherPlans * otherInstructions;
    std::vector<std::size_t> ids = random.Choose(otherIdCount, 4 * otherIdCount);
    for (std::size_t i = ids.size(); i > 1; --i)
        std::swap(ids[i - 1], ids[static_cast<std::size_t>(random.Below(i))]);
    for (std::size_t p = 0; p < options.otherPlans; ++p) {
        const std::string name = kPlanNames[p];
        DialPlan plan = MakePlan(options.seed, p + 1, name, "Regional dial plan " + name + ", installed earlier",
                                 otherTags, otherInstructions, otherMembers, random);
        std::vector<int> own;
        for (std::size_t i = 0; i < otherInstructions; ++i)
            own.push_back(static_cast<int>(ids[p * otherInstructions + i] + 1));
        std::sort(own.begin(), own.end());
        for (std::size_t i = 0; i < otherInstructions; ++i)
            plan.instructions[i].analysisId = own[i];
        scenario.others.push_back(std::move(plan));
    }
    std::uint64_t routingNo = 1;
    for (const DialPlan& plan : scenario.others) {
        const auto tags = random.Choose(15, plan.tags.size());
        const auto instructions = random.Choose(12, plan.instructions.size());
        AddRouting(options.seed, routingNo, plan, tags, instructions, 3, 40, 6, random, scenario.otherRouting);
    }

    // The measured plan, first version.
    const std::string firstDescription = "Benchmark dial plan " + options.name + ", " + std::to_string(options.tags) +
                                         " tags, " + std::to_string(options.instructions) +
                                         " instructions, first version";
    scenario.first = MakePlan(options.seed, 0, options.name, firstDescription, options.tags, options.instructions,
                              options.members, random);
    const DialPlan& first = scenario.first;

    // Rows that the routing will use once the plan is installed; the second
    // version keeps all of them, or its upgrade would be refused.
    const std::size_t usedTagCount = std::min<std::size_t>(first.tags.size() / 5, 60);
    const std::size_t usedInstructionCount = std::min<std::size_t>(first.instructions.size() / 4, 60);
    const auto usedTags = random.Choose(usedTagCount, first.tags.size());
    const auto usedInstructions = random.Choose(usedInstructionCount, first.instructions.size());
    AddRouting(options.seed, routingNo, first, usedTags, usedInstructions,
               std::max<std::size_t>(2, std::min<std::size_t>(8, usedTagCount / 6)), 3 * usedInstructionCount,
               usedInstructionCount / 3 + 1, random, scenario.planRouting);

    // The second version: drop a share of the tags and of the other
    // instructions (never one in use), add as many new ones.
    const std::set<std::size_t> usedTagSet(usedTags.begin(), usedTags.end());
    const std::set<std::size_t> usedInstructionSet(usedInstructions.begin(), usedInstructions.end());
    const auto tagCandidates = Without(first.tags.size(), 0, usedTagSet);
    const auto instructionCandidates = Without(first.instructions.size(), 6, usedInstructionSet);
    const auto wantTags = static_cast<std::size_t>(std::llround(options.change * double(first.tags.size())));
    const auto wantInstructions =
        static_cast<std::size_t>(std::llround(options.change * double(first.instructions.size() - 6)));
    std::set<std::string> droppedTags, droppedInstructions;
    for (std::size_t k : random.Choose(std::min(wantTags, tagCandidates.size()), tagCandidates.size()))
        droppedTags.insert(first.tags[tagCandidates[k]].pkid);
    for (std::size_t k :
         random.Choose(std::min(wantInstructions, instructionCandidates.size()), instructionCandidates.size()))
        droppedInstructions.insert(first.instructions[instructionCandidates[k]].pkid);
    scenario.droppedTags = scenario.addedTags = droppedTags.size();
    scenario.droppedInstructions = scenario.addedInstructions = droppedInstructions.size();

    DialPlan& second = scenario.second;
    second.pkid = first.pkid;
    second.name = first.name;
    second.description = "Benchmark dial plan " + options.name +
                         ", second version: the operator's revised tags, instructions and clauses";
    for (const Tag& tag : first.tags)
        if (droppedTags.count(tag.pkid) == 0)
            second.tags.push_back(tag);
    for (std::size_t k = 0; k < scenario.addedTags; ++k)
        second.tags.push_back(MakeTag(random, MakeGuid(options.seed, kNewTagRow, k), TagText(k, "R2-")));
    int nextId = 0;
    for (const Instruction& instruction : first.instructions)
        nextId = std::max(nextId, instruction.analysisId);
    for (std::size_t i = 0; i < first.instructions.size(); ++i) {
        const Instruction& instruction = first.instructions[i];
        if (droppedInstructions.count(instruction.pkid) != 0)
            continue;
        second.instructions.push_back(instruction);
        if (i < 6)
            second.instructions.back().clause = kSecondClauses[i];
    }
    std::vector<std::size_t> newInstructions;
    for (std::size_t k = 0; k < scenario.addedInstructions; ++k) {
        Instruction instruction;
        instruction.pkid = MakeGuid(options.seed, kNewInstructionRow, k);
        instruction.name = InstructionName(first.instructions.size() + k, "R2 ");
        instruction.analysisId = ++nextId;
        instruction.clause = second.tags.empty() ? "" : Clause(random, second.tags);
        newInstructions.push_back(second.instructions.size());
        second.instructions.push_back(instruction);
    }

    // Members: those of the first version whose tag and instruction stay, then
    // the members of the new instructions, then those of the new tags: each new
    // tag joined to the six predefined instructions and to one other kept one.
    for (const Member& member : first.members)
        if (droppedTags.count(member.tag) == 0 && droppedInstructions.count(member.instruction) == 0)
            second.members.push_back(member);
    const std::size_t perInstruction =
        first.instructions.size() > 6
            ? std::max<std::size_t>(1,
                                    std::min<std::size_t>(5, options.members / (2 * (first.instructions.size() - 6))))
            : 1;
    std::uint64_t memberNo = 0;
    for (std::size_t i : newInstructions) {
        if (second.tags.empty())
            break;
        for (std::size_t t : random.Choose(std::min(perInstruction, second.tags.size()), second.tags.size()))
            second.members.push_back(
                {MakeGuid(options.seed, kNewMemberRow, memberNo++), second.instructions[i].pkid, second.tags[t].pkid});
    }
    std::vector<std::size_t> keptOthers;
    for (std::size_t i = 6; i < second.instructions.size(); ++i)
        if (std::find(newInstructions.begin(), newInstructions.end(), i) == newInstructions.end())
            keptOthers.push_back(i);
    for (std::size_t t = second.tags.size() - scenario.addedTags; t < second.tags.size(); ++t) {
        for (std::size_t p = 0; p < 6; ++p)
            second.members.push_back(
                {MakeGuid(options.seed, kNewMemberRow, memberNo++), second.instructions[p].pkid, second.tags[t].pkid});
        if (!keptOthers.empty())
            second.members.push_back(
                {MakeGuid(options.seed, kNewMemberRow, memberNo++),
                 second.instructions[keptOthers[static_cast<std::size_t>(random.Below(keptOthers.size()))]].pkid,
                 second.tags[t].pkid});
    }

    CheckUnique(scenario);
    return scenario;
}

}  // namespace bench
