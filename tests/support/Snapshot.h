// Snapshots of the drive or the registry taken before and after a run, and what changed between
// them. An entry (a path, a key or a value) maps to what is recorded of it.
#pragma once

#include <map>
#include <vector>

namespace testsnap {

template <class Text>
struct Change {
  char kind;  // '+' new, '-' gone, '~' recorded differently
  Text entry;
  Text before;  // what was recorded ('~' and '-')
  Text after;   // what is recorded ('+' and '~')
};

// Every change, in entry order.
template <class Text>
std::vector<Change<Text>> Compare(const std::map<Text, Text>& before,
                                  const std::map<Text, Text>& after) {
  std::map<Text, Change<Text>> changes;
  for (const auto& [entry, record] : after) {
    const auto old = before.find(entry);
    if (old == before.end())
      changes.emplace(entry, Change<Text>{'+', entry, Text(), record});
    else if (old->second != record)
      changes.emplace(entry, Change<Text>{'~', entry, old->second, record});
  }
  for (const auto& [entry, record] : before)
    if (!after.count(entry)) changes.emplace(entry, Change<Text>{'-', entry, record, Text()});
  std::vector<Change<Text>> list;
  for (auto& [entry, change] : changes) list.push_back(std::move(change));
  return list;
}

}  // namespace testsnap
