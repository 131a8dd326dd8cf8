#!/usr/bin/python3
"""Every relative link of the Markdown files (README.md, docs/*.md) must lead to a file that
exists and, with a #anchor into a Markdown file, to one of its headings. Prints one line per
broken link, naming file, line and target, and exits 1 if there is any."""
import glob
import os
import re
import sys

# [text](target) and ![alt](target), the text possibly over several lines.
LINK = re.compile(r'!?\[[^\]]*\]\(([^)\s]+)(?:\s+"[^"]*")?\)')
# Fenced blocks and code spans hold examples, not links; blanked, they keep the line count.
CODE = re.compile(r'^\s*```.*?^\s*```|`[^`\n]*`', re.M | re.S)


def anchors(path):
    """The anchors GitHub gives the headings of `path`: lower case, punctuation dropped, spaces
    as hyphens."""
    with open(path, encoding='utf-8') as markdown:
        headings = re.findall(r'^#+\s+(.*?)\s*$', markdown.read(), re.M)
    return {re.sub(r'[^\w\- ]', '', heading.lower()).replace(' ', '-') for heading in headings}


def broken_links(path):
    with open(path, encoding='utf-8') as markdown:
        text = CODE.sub(lambda code: re.sub(r'[^\n]', ' ', code.group()), markdown.read())
    for link in LINK.finditer(text):
        target = link.group(1)
        if re.match(r'[a-z][a-z0-9+.-]*:', target):
            continue  # a web address or a mail link
        line = text.count('\n', 0, link.start(1)) + 1
        file, _, anchor = target.partition('#')
        resolved = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
        if not os.path.exists(resolved):
            yield f'{path}:{line}: {target}: there is no {resolved}'
        elif anchor and resolved.endswith('.md') and anchor not in anchors(resolved):
            yield f'{path}:{line}: {target}: {resolved} has no heading #{anchor}'


def main():
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    problems = [problem for path in ['README.md'] + sorted(glob.glob('docs/*.md'))
                for problem in broken_links(path)]
    for problem in problems:
        print(f'links: {problem}')
    if not problems:
        print('links: clean')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
