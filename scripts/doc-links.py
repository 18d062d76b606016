#!/usr/bin/env python3
# Checks the relative links of Markdown files: the target exists, and a #anchor
# names a heading of the target (GitHub's slugs: lower case, punctuation
# dropped, spaces turned into hyphens).
#   scripts/doc-links.py README.md docs/*.md bench/README.md
import os, re, sys, unicodedata
def slug(text):
    text = re.sub(r'`', '', text).strip().lower()
    out = []
    for ch in text:
        cat = unicodedata.category(ch)
        if ch in '-_ ' or cat[0] in 'LNM' or cat == 'Pc':
            out.append(ch)
    return ''.join(out).replace(' ', '-')
def anchors(path):
    seen = {}; result = set(); fence = False
    for line in open(path, encoding='utf-8'):
        if line.startswith('```'): fence = not fence
        if fence: continue
        m = re.match(r'^(#{1,6})\s+(.*?)\s*#*\s*$', line)
        if m:
            s = slug(re.sub(r'\[([^\]]*)\]\([^)]*\)', r'\1', m.group(2)))
            n = seen.get(s, 0); seen[s] = n + 1
            result.add(s if n == 0 else f'{s}-{n}')
    return result
bad = 0
for path in sys.argv[1:]:
    text = open(path, encoding='utf-8').read()
    # drop indented code blocks and inline code
    lines = [l for l in text.split('\n') if not l.startswith('    ')]
    body = re.sub(r'`[^`\n]*`', '', '\n'.join(lines))
    for m in re.finditer(r'!?\[[^\]]*\]\(([^)\s]+)\)', body):
        target = m.group(1)
        if re.match(r'^[a-z]+:', target): continue
        file, _, anchor = target.partition('#')
        dest = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
        if not os.path.exists(dest):
            print(f'{path}: missing file {target}'); bad += 1; continue
        if anchor and dest.endswith('.md') and anchor not in anchors(dest):
            print(f'{path}: missing anchor {target}'); bad += 1
print(f'{bad} broken link(s)')
sys.exit(1 if bad else 0)
