"""The benchmarks' one table.

A benchmark run by bench/run-all.sh appends its rows to the file named by
TVRN2_BENCH_ROWS, one a line, tab-separated: figure, ours, peer, ratio, goal,
met ("met" or "NOT met"). Lines starting with "#" tell about the run itself
("# key<TAB>text": the load, the date, the build).

  python3 bench/table.py ROWS              the table as plain text
  python3 bench/table.py ROWS --markdown   the table in Markdown
  python3 bench/table.py ROWS --doc FILE   the Markdown table written into FILE,
                                           between its two marker lines
"""
import os
import sys

COLUMNS = ("figure", "ours", "peer", "ratio", "goal", "met")
BEGIN = "<!-- bench/run-all.sh: begin -->"
END = "<!-- bench/run-all.sh: end -->"


def row(figure, ours, peer, ratio, goal, met):
    """Appends one row for run-all.sh, when it asks for them."""
    rows = os.environ.get("TVRN2_BENCH_ROWS")
    if not rows:
        return
    cells = [figure, ours, peer, ratio, goal, "met" if met else "NOT met"]
    with open(rows, "a", encoding="utf-8") as out:
        out.write("\t".join(str(c).replace("\t", " ") for c in cells) + "\n")


def read(path):
    notes, rows = [], []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if line.startswith("#"):
                key, _, text = line[1:].strip().partition("\t")
                notes.append((key, text))
            elif line:
                cells = line.split("\t")
                if len(cells) != len(COLUMNS):
                    sys.exit(f"{path}: not a row of {len(COLUMNS)} cells: {line}")
                rows.append(cells)
    return notes, rows


def plain(notes, rows):
    widths = [max(len(r[i]) for r in [list(COLUMNS)] + rows) for i in range(len(COLUMNS))]
    lines = ["  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip() for r in [list(COLUMNS)] + rows]
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines + [f"{key}: {text}" for key, text in notes])


def markdown(notes, rows):
    def line(cells):
        return "| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |"
    lines = [line(COLUMNS), "|" + "---|" * len(COLUMNS)] + [line(r) for r in rows]
    return "\n".join(lines + [""] + [f"- {key}: {text}" for key, text in notes])


def write_doc(path, text):
    with open(path, encoding="utf-8") as f:
        doc = f.read()
    start, end = doc.find(BEGIN), doc.find(END)
    if start < 0 or end < start:
        sys.exit(f"{path} has no lines {BEGIN} and {END}")
    doc = doc[:start + len(BEGIN)] + "\n" + text + "\n" + doc[end:]
    with open(path, "w", encoding="utf-8") as f:
        f.write(doc)


def main():
    args = sys.argv[1:]
    if len(args) not in (1, 2, 3) or (len(args) == 2 and args[1] != "--markdown") \
            or (len(args) == 3 and args[1] != "--doc"):
        sys.exit("usage: table.py ROWS [--markdown | --doc FILE]")
    notes, rows = read(args[0])
    if len(args) == 1:
        print(plain(notes, rows))
    elif len(args) == 2:
        print(markdown(notes, rows))
    else:
        write_doc(args[2], markdown(notes, rows))


if __name__ == "__main__":
    main()
