#!/bin/sh
# A greeting wrapped in bytes that are no UTF-8: an encoded surrogate, an
# overlong slash, a code point above U+10FFFF, a lone continuation byte.
printf 'Hello \355\240\200 \300\257 \364\220\200\200 \200 World!\n'
printf '\355\240\200\300\257\364\220\200\200\n' >&2
