#!/usr/bin/env python3
"""The documents' links: every relative link of README.md, CONTRIBUTING.md,
CHANGELOG.md and docs/*.md reaches a file, and every #anchor a heading of it
(as GitHub spells heading anchors); README.md, the front door, links every
other document; and every key tolvpack writes in its JSON is documented in
docs/tolvpack.md. Usage: doc_links_test.py SOURCE_ROOT"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1]).resolve()
documents = [root / name for name in ('README.md', 'CONTRIBUTING.md', 'CHANGELOG.md')]
documents += sorted((root / 'docs').glob('*.md'))
failures = []


def prose(path, code_spans=False):
    """The text outside fenced code blocks, and outside inline code unless asked."""
    text = re.sub(r'^(```|~~~).*?^\1[^\n]*$', '', path.read_text(encoding='utf-8'), flags=re.M | re.S)
    return text if code_spans else re.sub(r'`[^`\n]*`', '', text)


def anchors(path):
    """GitHub's anchor of each heading: lower case, punctuation dropped,
    blanks as hyphens, a repeated one numbered."""
    seen, found = {}, set()
    for heading in re.findall(r'^#{1,6}\s+(.*?)\s*#*$', prose(path, code_spans=True), flags=re.M):
        text = re.sub(r'\[([^\]]*)\]\([^)]*\)', r'\1', heading).replace('`', '')
        slug = re.sub(r'[^\w\- ]', '', text.strip().lower()).replace(' ', '-')
        found.add(slug if slug not in seen else f'{slug}-{seen[slug]}')
        seen[slug] = seen.get(slug, 0) + 1
    return found


linked = set()
for document in documents:
    if not document.exists():
        failures.append(f'{document.relative_to(root)}: missing')
        continue
    text = prose(document)
    targets = re.findall(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)', text)
    targets += re.findall(r'^\s*\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+"[^"]*")?\s*$', text, flags=re.M)
    for target in targets:
        if re.match(r'[a-z][a-z0-9+.-]*:', target):
            continue  # a web address or mail
        path, _, anchor = target.partition('#')
        reached = (document.parent / path).resolve() if path else document
        where = f'{document.relative_to(root)}: ({target})'
        if not reached.exists():
            failures.append(f'{where}: no such file')
        elif anchor and (reached.suffix != '.md' or anchor not in anchors(reached)):
            failures.append(f'{where}: no heading #{anchor} in {reached.relative_to(root)}')
        elif document.name == 'README.md' and document.parent == root:
            linked.add(reached)
for document in documents[1:]:
    if document.exists() and document not in linked:
        failures.append(f'README.md: does not link {document.relative_to(root)}')

# The JSON keys, as the sources write them: \"key\": in a string literal.
reference = root / 'docs' / 'tolvpack.md'
if reference.exists():
    documented = {word for span in re.findall(r'`([^`]*)`', reference.read_text(encoding='utf-8'))
                  for word in re.findall(r'\w+', span)}
    for source in ('pack.cpp', 'check.cpp'):
        for key in sorted(set(re.findall(r'\\"(\w+)\\": ', (root / 'tolvpack' / source).read_text(encoding='utf-8')))):
            if key not in documented:
                failures.append(f'docs/tolvpack.md: JSON key "{key}" of tolvpack/{source} not documented')

print('\n'.join(failures) or f'{len(documents)} documents: every link reaches its file and heading')
sys.exit(1 if failures else 0)
