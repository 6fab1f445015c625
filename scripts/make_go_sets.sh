#!/usr/bin/env bash
# Builds a GMT file of Gene Ontology biological-process gene sets for human,
# keyed by HGNC gene symbols, from Debian's Bioconductor annotation packages
# (r-bioc-org.hs.eg.db for the gene annotations, r-bioc-go.db for the
# ontology); installs them when they are missing. Run on demand, not by the
# build or the tests.
#
#   bash scripts/make_go_sets.sh [--universe FILE] [--min N] [--max N] [--no-iea] OUT.gmt.gz
#
# One line per GO term: its id, its name, then its genes (sorted), written
# gzip-compressed and without a time stamp, so the same packages give the
# same bytes. What goes in:
# - The direct biological-process annotations of org.Hs.eg.db, each gene
#   under its symbol.
# - Each annotation is propagated to every ancestor of its term along the
#   ontology's is_a and part_of relations (a gene of "apoptotic DNA
#   fragmentation" is a gene of "apoptotic process"). Not along regulates:
#   a gene that regulates a process is not a part of it, and GO.db's own
#   ancestor maps (GOBPANCESTOR, hence org.Hs.egGO2ALLEGS) follow regulates
#   too, which is why this script walks go_bp_parents itself.
# - Evidence: every code but ND (no biological data: an annotation that
#   says nothing is known). Electronic annotations (IEA) are kept by default,
#   as the common enrichment resources keep them, since without them genes
#   little studied by experiment drop out; --no-iea leaves them out. The
#   package has no qualifier column, so NOT annotations, if any, cannot be
#   told apart.
# - --universe FILE keeps only the symbols listed in FILE (one per line);
#   then only terms with --min to --max genes (default 5 to 500) among the
#   kept genes are written.
set -euo pipefail
cd "$(dirname "$0")/.."

universe=""
min=5
max=500
iea=1
while (($#)); do
  case $1 in
    --universe) universe=$2; shift 2 ;;
    --min) min=$2; shift 2 ;;
    --max) max=$2; shift 2 ;;
    --no-iea) iea=0; shift ;;
    -*) echo "usage: $0 [--universe FILE] [--min N] [--max N] [--no-iea] OUT.gmt.gz" >&2; exit 2 ;;
    *) break ;;
  esac
done
if (($# != 1)); then
  echo "usage: $0 [--universe FILE] [--min N] [--max N] [--no-iea] OUT.gmt.gz" >&2
  exit 2
fi
out=$1
[[ -z $universe || -r $universe ]] || { echo "Error: cannot read $universe" >&2; exit 1; }

bash scripts/setup.sh r-base-core r-bioc-org.hs.eg.db r-bioc-go.db r-cran-rsqlite >&2

tmp=$(mktemp "$out.tmp.XXXXXX")
trap 'rm -f "$tmp"' EXIT
Rscript --vanilla - "$universe" "$min" "$max" "$iea" <<'R' | gzip -n -9 > "$tmp"
args <- commandArgs(trailingOnly = TRUE)
universe <- args[1]
min_size <- as.integer(args[2])
max_size <- as.integer(args[3])
keep_iea <- args[4] == "1"
suppressPackageStartupMessages({ library(DBI); library(RSQLite) })

org_file <- system.file("extdata", "org.Hs.eg.sqlite", package = "org.Hs.eg.db")
go_file <- system.file("extdata", "GO.sqlite", package = "GO.db")
if (org_file == "" || go_file == "") stop("org.Hs.eg.db or GO.db is not installed")
con <- dbConnect(SQLite(), org_file, flags = SQLITE_RO)
invisible(dbExecute(con, paste0("ATTACH DATABASE '", go_file, "' AS go")))

evidence <- if (keep_iea) "b.evidence <> 'ND'" else "b.evidence NOT IN ('ND', 'IEA')"
# Every biological-process term with itself and its ancestors along is_a and
# part_of; each direct annotation then counts for all of them.
rows <- dbGetQuery(con, paste0("
  WITH RECURSIVE up(term, ancestor) AS (
    SELECT _id, _id FROM go.go_term WHERE ontology = 'BP'
    UNION
    SELECT up.term, p._parent_id FROM up JOIN go.go_bp_parents p ON p._id = up.ancestor
    WHERE p.relationship_type IN ('isa', 'part of'))
  SELECT DISTINCT a.go_id AS id, a.term AS name, i.symbol AS symbol
  FROM go_bp b
  JOIN gene_info i ON i._id = b._id
  JOIN go.go_term t ON t.go_id = b.go_id
  JOIN up ON up.term = t._id
  JOIN go.go_term a ON a._id = up.ancestor
  WHERE ", evidence))
unknown <- dbGetQuery(con, paste0("
  SELECT COUNT(*) AS n FROM go_bp b WHERE ", evidence, "
  AND b.go_id NOT IN (SELECT go_id FROM go.go_term)"))$n
dbDisconnect(con)

if (universe != "") {
  listed <- file(universe, raw = TRUE)  # raw: a pipe is read as it comes
  symbols <- trimws(readLines(listed, warn = FALSE))
  close(listed)
  rows <- rows[rows$symbol %in% symbols[symbols != ""], ]
}
rows <- rows[order(rows$id, rows$symbol, method = "radix"), ]
sizes <- table(rows$id)
kept <- names(sizes)[sizes >= min_size & sizes <= max_size]
rows <- rows[rows$id %in% kept, ]
genes <- split(rows$symbol, rows$id)
names_of <- rows$name[!duplicated(rows$id)]
names(names_of) <- rows$id[!duplicated(rows$id)]
for (id in kept) cat(id, "\t", names_of[[id]], "\t", paste(genes[[id]], collapse = "\t"), "\n", sep = "")

message(sprintf(paste0("org.Hs.eg.db %s, GO.db %s: %d sets of %d to %d genes, %d distinct genes",
                       "; %d annotations to terms GO.db does not know were left out"),
                packageVersion("org.Hs.eg.db"), packageVersion("GO.db"), length(kept),
                min_size, max_size, length(unique(rows$symbol)), unknown))
R
chmod 644 "$tmp"
mv "$tmp" "$out"
trap - EXIT
echo "Wrote $out" >&2
