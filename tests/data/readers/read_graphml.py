# Prints, as networkx reads them from the GraphML file argv[1], every node's
# attributes and then every edge's, tab-separated.
import sys
import networkx as nx
g = nx.read_graphml(sys.argv[1])
for n, d in g.nodes(data=True):
    print('\t'.join(['node', d['name'], repr(d['z_score']), repr(d['p_value']), d.get('label', '-'),
                     d['group'], str(d['group_rank']), repr(d['group_score']), str(d['ranked']),
                     str('stability' in d)]))
for a, b, d in g.edges(data=True):
    print('\t'.join(['edge', d['group'], g.nodes[a]['name'], str(d['group_rank']),
                     g.nodes[b]['name'], repr(d['edge_value'])]))
