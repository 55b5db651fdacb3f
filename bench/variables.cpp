// Variable access as a running game does it: reads and writes over 2,000
// variables alternating between the numeric and the string block; half of the
// variables exist at the start, the others are created by their first write.
// The same mix on a plain hash map gives a reference figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/headless.h"
#include "scenario/Text_util.h"
#include "scenario/Var_ctrl.h"
#include "scenario/Velto_file.h"

namespace {

constexpr int kCalls = 1'000'000;
constexpr int kVariablesPerBlock = 1'000;

enum class Op { GetValue, SetValue, GetText, SetText };

struct Call {
    Op op;
    std::string operand;  // "%NAME%" or "$NAME$"
    std::string name;
    int32_t value;
};

std::string NumberName(int i) {
    return "n" + std::to_string(i);
}
std::string StringName(int i) {
    return "s" + std::to_string(i);
}

// Even calls use the numeric block, odd ones the string block; one in three
// writes.
std::vector<Call> MakeCalls() {
    std::vector<Call> calls;
    calls.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        // Spread the calls over all names of the block rather than walk them in order.
        int variable = static_cast<int>(int64_t{i / 2} * 7919 % kVariablesPerBlock);
        bool numeric = i % 2 == 0;
        bool write = i % 6 < 2;
        std::string name = numeric ? NumberName(variable) : StringName(variable);
        Op op =
            numeric ? (write ? Op::SetValue : Op::GetValue) : (write ? Op::SetText : Op::GetText);
        char marker = numeric ? '%' : '$';
        calls.push_back({op, marker + name + marker, name, i});
    }
    return calls;
}

const std::vector<Call>& Calls() {
    static const std::vector<Call> calls = MakeCalls();
    return calls;
}

void MixedCallsOnVariableCtrl(benchmark::State& state) {
    const std::vector<Call>& calls = Calls();
    // Outside the loop, so that freeing a grown document is not timed.
    std::unique_ptr<scenario::TVeltoFile> doc;
    platform::HeadlessBackend backend;  // the variables read the clock
    platform::ScopedBackend installed(backend);
    scenario::TVariableCtrl vars;
    for (auto _ : state) {
        state.PauseTiming();
        doc = std::make_unique<scenario::TVeltoFile>();
        vars.SetFile(doc.get());
        for (int i = 0; i < kVariablesPerBlock; i += 2) {
            vars.SetValueVar(NumberName(i), i);
            vars.SetStringVar(StringName(i), "text " + std::to_string(i));
        }
        state.ResumeTiming();
        for (const Call& call : calls) {
            switch (call.op) {
                case Op::GetValue:
                    benchmark::DoNotOptimize(vars.Get_Value(call.operand));
                    break;
                case Op::SetValue:
                    vars.Set_Value(call.operand, call.value);
                    break;
                case Op::GetText:
                    benchmark::DoNotOptimize(vars.Get_Text(call.operand));
                    break;
                case Op::SetText:
                    vars.Set_Text(call.operand, call.name);
                    break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(MixedCallsOnVariableCtrl)->Unit(benchmark::kMillisecond);

// Reference: the same calls on two hash maps holding the values as text.
void SameCallsOnUnorderedMap(benchmark::State& state) {
    const std::vector<Call>& calls = Calls();
    std::unordered_map<std::string, std::string> numbers, strings;
    for (auto _ : state) {
        state.PauseTiming();
        numbers.clear();
        strings.clear();
        for (int i = 0; i < kVariablesPerBlock; i += 2) {
            numbers[NumberName(i)] = std::to_string(i);
            strings[StringName(i)] = "text " + std::to_string(i);
        }
        state.ResumeTiming();
        for (const Call& call : calls) {
            switch (call.op) {
                case Op::GetValue: {
                    auto it = numbers.find(call.name);
                    benchmark::DoNotOptimize(
                        it == numbers.end() ? 0 : scenario::ParseIntDef(it->second, 0));
                    break;
                }
                case Op::SetValue:
                    numbers[call.name] = scenario::IntToText(call.value);
                    break;
                case Op::GetText: {
                    auto it = strings.find(call.name);
                    benchmark::DoNotOptimize(it == strings.end() ? std::string() : it->second);
                    break;
                }
                case Op::SetText:
                    strings[call.name] = call.name;
                    break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(SameCallsOnUnorderedMap)->Unit(benchmark::kMillisecond);

}  // namespace
