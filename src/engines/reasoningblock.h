#pragma once

#include <QString>

#include <optional>

// Local reasoning models (DeepSeek-R1 distills, QwQ, Qwen3 served by Ollama,
// llama.cpp or LM Studio) write their thinking into the reply's text, in a
// <think>…</think> block before the answer. Only the answer is the translation.
namespace ReasoningBlock {
// The text without a leading think block and the blank lines after it; the text
// itself when it does not start with one (leading blanks aside); nothing when
// the block is all there is or is never closed.
std::optional<QString> withoutLeadingBlock(const QString &text);
} // namespace ReasoningBlock
